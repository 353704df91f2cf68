#pragma once

#include "protocol/requests.h"

#include <QByteArray>

class Form1;

// The window's one way of sending a request to a module. Every region sends through it; it
// queues the request on the window's master (Replies), which writes it once the line is free.

// Records a request about to be sent: RequestKind takes its kind, and a kind whose replies go to
// the interpreter routes them there. SendRequest does this first; a sender that stops after
// recording calls it alone.
void RecordRequest(Form1 &form, protocol::RequestKind kind);

// Records the request, queues it, shows its frame in LblOut and clears LblIn for the kinds that
// clear it (protocol::RuleOfKind). Returns false when nothing was queued (the port is closed;
// LblOut and LblIn are then untouched). While the module test holds the port nothing is recorded
// or queued: the kinds that tell about a closed port tell that the test is running instead, the
// others are refused silently.
bool SendRequest(Form1 &form, const protocol::Request &request);

// Writes what the serial console sends: neither RequestKind nor the sent and received boxes
// change. Returns false when nothing could be written; refused, with a message, while the module
// test holds the port.
bool SendConsoleBytes(Form1 &form, const QByteArray &bytes);

// True while the module test holds the port.
bool PortClaimed(const Form1 &form);

// The sent box shows a frame as hex text.
void ShowSentFrame(Form1 &form, const QByteArray &frame);

// The message a sender of this kind shows when the port is closed; nothing for the kinds that
// stop silently.
void TellPortClosed(Form1 &form, protocol::RequestKind kind);
