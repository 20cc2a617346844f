#pragma once
// Real-time signals that the platform sends to threads of its own process (to hand a running
// thread an alternate signal stack, to suspend the threads while a crash report is written).
//
// The host may use real-time signals itself. A signal is claimed for the platform only when no
// handler of the host holds it (its action is the default); when every one is held, the preferred
// one is taken and the host's handler goes on running behind ours. Every signal the platform
// sends is marked (sigqueue-style, with a value only the platform has), so that its handler tells
// its own from the host's and hands the host's on to the action that was there before. A handler
// the host installs on the signal later replaces ours: that is the host's choice.

#include <csignal>
#include <sys/types.h>

using vdsys_private_signal_handler = void (*)(int, siginfo_t*, void*);

// Claims a real-time signal and installs `handler` on it (SA_SIGINFO | SA_RESTART, an empty
// mask): `preferred` when no handler holds it and the platform has not claimed it already, else
// the highest real-time signal that is free, else `preferred` (or the highest one not claimed)
// with the handler found there kept to be forwarded to. The signal, or -1 when none could be
// installed. Not async-signal-safe; never from a signal handler.
int vdsys_private_signal_claim(int preferred, vdsys_private_signal_handler handler);

// Sends a claimed signal, marked as the platform's, to the thread `tid` of the own process.
// 0, or the errno of the failed call (ESRCH: the thread is gone). Async-signal-safe.
int vdsys_private_signal_send(int signo, pid_t tid);

// In the handler of a claimed signal: whether this delivery was sent by vdsys_private_signal_send.
// Async-signal-safe.
bool vdsys_private_signal_is_own(const siginfo_t* info);

// In the handler of a claimed signal, for a delivery that is not the platform's: does what the
// action that was installed before the claim does (its handler, under its mask; nothing when
// the signal was ignored; the default action, which for a real-time signal ends the process).
// Async-signal-safe.
void vdsys_private_signal_forward(int signo, siginfo_t* info, void* context);
