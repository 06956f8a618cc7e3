// SPDX-License-Identifier: GPL-3.0-or-later
// Linked into every program of a thread-sanitizer build, and only there.
//
// Qt hands a queued signal to the receiving thread through its event queue, whose
// locks live in the uninstrumented Qt libraries, so the sanitizer cannot see that
// an emission happens before the slot call it queues. Every hand-off of this
// program (the window fills the link's store, then emits; the link writes the
// store, then emits its completion) relies on exactly that ordering. This tells the
// sanitizer about it: each emission and each posted call releases, each delivered
// event acquires. Posted calls are caught by wrapping, at link time, the Qt
// functions our code posts through (see QR36_SANITIZE in the top CMakeLists).
// Likewise the end of a thread: objects deleted by deleteLater when a thread
// finishes are destroyed before QThread::wait returns in the waiting thread, under
// Qt's lock; the thread's storage, destroyed after them, releases, and the wrapped
// QThread::wait acquires.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QObject>
#include <QThread>
#include <QThreadStorage>

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
char threadEnd;

// Qt destroys a thread's storage at the end of its finish routine: after the objects
// deleted at that end, before it wakes the threads waiting in QThread::wait.
struct ThreadEndMarker
{
    ~ThreadEndMarker() { __tsan_release(&threadEnd); }
};
QThreadStorage<ThreadEndMarker *> threadEndMarkers;

void emitted(QObject *, int, void **)
{
    __tsan_release(&eventQueue);
}

bool delivering(void **)
{
    if (!threadEndMarkers.hasLocalData())
        threadEndMarkers.setLocalData(new ThreadEndMarker);
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

extern "C" {
bool __real__ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv(
    QObject *, QtPrivate::QSlotObjectBase *, Qt::ConnectionType, void *);
void __real__ZN16QCoreApplication9postEventEP7QObjectP6QEventi(QObject *, QEvent *, int);

// QMetaObject::invokeMethodImpl
bool __wrap__ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv(
    QObject *object, QtPrivate::QSlotObjectBase *slot, Qt::ConnectionType type, void *result)
{
    __tsan_release(&eventQueue);
    return __real__ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv(
        object, slot, type, result);
}

// QThread::wait, both forms
bool __real__ZN7QThread4waitE14QDeadlineTimer(QThread *, QDeadlineTimer);
bool __wrap__ZN7QThread4waitE14QDeadlineTimer(QThread *thread, QDeadlineTimer deadline)
{
    const bool ended = __real__ZN7QThread4waitE14QDeadlineTimer(thread, deadline);
    if (ended)
        __tsan_acquire(&threadEnd);
    return ended;
}
bool __real__ZN7QThread4waitEm(QThread *, unsigned long);
bool __wrap__ZN7QThread4waitEm(QThread *thread, unsigned long time)
{
    const bool ended = __real__ZN7QThread4waitEm(thread, time);
    if (ended)
        __tsan_acquire(&threadEnd);
    return ended;
}

// QThread::quit: what the asking thread did before it is ordered before whatever
// the ending thread then deletes.
void __real__ZN7QThread4quitEv(QThread *);
void __wrap__ZN7QThread4quitEv(QThread *thread)
{
    __tsan_release(&eventQueue);
    __real__ZN7QThread4quitEv(thread);
}

// QObject::deleteLater, which posts from inside Qt
void __real__ZN7QObject11deleteLaterEv(QObject *);
void __wrap__ZN7QObject11deleteLaterEv(QObject *object)
{
    __tsan_release(&eventQueue);
    __real__ZN7QObject11deleteLaterEv(object);
}

// QCoreApplication::postEvent
void __wrap__ZN16QCoreApplication9postEventEP7QObjectP6QEventi(QObject *receiver, QEvent *event, int priority)
{
    __tsan_release(&eventQueue);
    __real__ZN16QCoreApplication9postEventEP7QObjectP6QEventi(receiver, event, priority);
}
}
