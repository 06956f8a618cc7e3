// Linked into every program of a thread-sanitizer build, and only there.
//
// Qt hands a queued signal to the receiving thread through its event queue, whose
// locks live in the uninstrumented Qt libraries, so the sanitizer cannot see that
// an emission happens before the slot call it queues. Every hand-off of this
// program (the window fills the link's store, then emits; the link writes the
// store, then emits its completion) relies on exactly that ordering. This tells the
// sanitizer about it: each emission releases, each delivered event acquires.

#include <QObject>

// Qt's hook for signal spies (exported by QtCore, declared in a private header).
struct QSignalSpyCallbackSet
{
    typedef void (*BeginCallback)(QObject *caller, int signalOrMethodIndex, void **argv);
    typedef void (*EndCallback)(QObject *caller, int signalOrMethodIndex);
    BeginCallback signal_begin_callback;
    BeginCallback slot_begin_callback;
    EndCallback signal_end_callback;
    EndCallback slot_end_callback;
};
void Q_CORE_EXPORT qt_register_signal_spy_callbacks(QSignalSpyCallbackSet *callback_set);

extern "C" void __tsan_acquire(void *address);
extern "C" void __tsan_release(void *address);

namespace {

char eventQueue;

void emitted(QObject *, int, void **)
{
    __tsan_release(&eventQueue);
}

bool delivering(void **)
{
    __tsan_acquire(&eventQueue);
    return false; // deliver as usual
}

QSignalSpyCallbackSet callbacks = {emitted, nullptr, nullptr, nullptr};

const bool registered = [] {
    qt_register_signal_spy_callbacks(&callbacks);
    QInternal::registerCallback(QInternal::EventNotifyCallback, delivering);
    return true;
}();

} // namespace
