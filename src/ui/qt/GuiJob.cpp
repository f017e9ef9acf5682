#include "ui/qt/GuiJob.h"

#include <QCoreApplication>

#if defined(__SANITIZE_THREAD__)
#define TESSADORN_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TESSADORN_TSAN 1
#endif
#endif

#ifdef TESSADORN_TSAN
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

namespace tessadorn {

namespace {

// Every hand-over also goes through this address, for takeOverPosted().
char g_Posted;

void handOver(void* address) {
#ifdef TESSADORN_TSAN
    __tsan_release(address);
#else
    (void)address;
#endif
}

void takeOver(void* address) {
#ifdef TESSADORN_TSAN
    __tsan_acquire(address);
#else
    (void)address;
#endif
}

} // namespace

QEvent::Type GuiJob::jobType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

GuiJob::GuiJob(std::function<void()> job) : QEvent(jobType()), m_Job(std::move(job)) {}

GuiJob::~GuiJob() {
    takeOver(this);
}

void GuiJob::post(QObject* receiver, std::function<void()> job) {
    auto* event = new GuiJob(std::move(job));
    handOver(event);
    handOver(&g_Posted);
    QCoreApplication::postEvent(receiver, event);
}

void GuiJob::takeOverPosted() {
    takeOver(&g_Posted);
}

bool GuiJob::runIfJob(QEvent* event) {
    if (event->type() != jobType()) return false;
    auto* job = static_cast<GuiJob*>(event);
    takeOver(job);
    if (job->m_Job) job->m_Job();
    return true;
}

} // namespace tessadorn
