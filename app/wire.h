#pragma once

#include "protocol/requests.h"

#include <QByteArray>

class Form1;

// The window's one way of sending a request to a module. Every region sends through it; nothing
// else writes requests to the port.

// How a request kind is treated around its frame.
struct KindRule
{
    bool setsText9 = false;      // replies are interpreted even on the console page
    bool clearsReceived = false; // the received box LblIn is emptied once the frame is out
};
KindRule RuleOfKind(protocol::RequestKind kind);

// Records a request about to be sent: RequestKind takes its kind and Text9 is set for the kinds
// that set it. SendRequest does this first; a sender that stops after recording calls it alone.
void RecordRequest(Form1 &form, protocol::RequestKind kind);

// Records the request (RequestKind takes its kind; Text9 is set for the kinds that set it),
// writes its frame to the port, shows the frame in LblOut and clears LblIn for the kinds that
// clear it. Returns false when nothing could be written (LblOut and LblIn are then untouched).
// While the module test holds the port nothing is recorded or written: the kinds that tell
// about a closed port tell that the test is running instead, the others are refused silently.
bool SendRequest(Form1 &form, const protocol::Request &request);

// Writes what the serial console sends: neither RequestKind nor the sent and received boxes
// change. Returns false when nothing could be written; refused, with a message, while the module
// test holds the port.
bool SendConsoleBytes(Form1 &form, const QByteArray &bytes);

// Writes a frame of the module test, which holds the port: nothing else of the window changes.
bool SendTestFrame(Form1 &form, const QByteArray &frame);

// True while the module test holds the port.
bool PortClaimed(const Form1 &form);

// The sent box shows a frame as hex text.
void ShowSentFrame(Form1 &form, const QByteArray &frame);

// The message a sender of this kind shows when the port is closed; nothing for the kinds that
// stop silently.
void TellPortClosed(Form1 &form, protocol::RequestKind kind);
