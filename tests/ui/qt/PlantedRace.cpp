// A deliberate data race in the program's own code, handed over to the GUI thread through
// GuiJob::post: a worker writes a value after posting the job that reads it. Built only under
// ThreadSanitizer; the test that runs it passes only when the race is reported, which proves
// that the suppressions for Qt's internals do not hide the program's own races.
#include "ui/qt/GuiJob.h"

#include <QCoreApplication>
#include <QObject>

#include <thread>

namespace {

class Receiver : public QObject {
  protected:
    void customEvent(QEvent* event) override { tessadorn::GuiJob::runIfJob(event); }
};

int g_Shared = 0; // written by the worker, read by the GUI thread, never synchronised

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Receiver receiver;
    int seen = 0;
    std::thread worker([&] {
        tessadorn::GuiJob::post(&receiver, [&] {
            seen = g_Shared;
            QCoreApplication::quit();
        });
        g_Shared = 42; // after the hand-over: races with the read in the job
    });
    app.exec();
    worker.join();
    return seen == 42 ? 0 : 0;
}
