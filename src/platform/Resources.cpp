#include "platform/Resources.h"

#include <QDir>
#include <QFile>
#include <QString>

namespace tessadorn {

namespace {

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

std::string resourceBytes(std::string_view path) {
    if (!path.starts_with(":/")) return {};
    QFile file(toQString(path));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::vector<std::string> resourceFiles(std::string_view folder) {
    std::vector<std::string> names;
    if (!folder.starts_with(":/")) return names;
    const QDir dir(toQString(folder));
    const QStringList entries = dir.entryList(QDir::Files, QDir::Name);
    names.reserve(static_cast<std::size_t>(entries.size()));
    for (const QString& entry : entries)
        names.push_back(entry.toStdString());
    return names;
}

} // namespace tessadorn
