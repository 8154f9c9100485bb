// What the serial link needs from the page transaction's view and from the
// telephony object, kept as two small interfaces so that the link depends on
// neither the form nor telephony. The send-page form implements ILinkView, so
// do the command-line sender and the tests; CTelephony implements
// ILinkTelephony.
#pragma once

#include <cstdint>

#include "seriallink/handover.h"

namespace zentrel {

// The teardown a link thread runs when it meets a fatal link failure.
class ILinkTelephony {
 public:
  virtual ~ILinkTelephony() = default;
  virtual int UninitTelephony() = 0;
};

class ILinkView {
 public:
  virtual ~ILinkView() = default;
  // The link is up (both its threads run): the form starts its wake-up
  // timer, a session engine its session. On the UI thread, the last step of
  // a successful Attach. Returns 1.
  virtual int OnLinkUp() = 0;
  // Every received block and every line-error report, on the read thread.
  // `text` is NUL-terminated; returns 1 to go on reading.
  virtual int ProcessReceivedData(const char* text, std::uint32_t length) = 0;
  // How the link ends a read: false (the form's transaction) after the
  // line's silence, so that a whole block arrives at once; true for a view
  // that finds where each answer ends itself: every read is handed over as
  // soon as its bytes are in.
  virtual bool FramesAnswers() const { return false; }
  // The view's m_pTapi: the telephony object of the latest send, or null.
  virtual ILinkTelephony* Tapi() = 0;
};

// What the page transaction needs of the current link: PostWrite. With 1 the
// buffer (from LocalAlloc) passes to the write thread; with 0 it stays with
// the caller. CCommLink implements it.
class ILinkWriter {
 public:
  virtual ~ILinkWriter() = default;
  virtual int PostWrite(char* data, std::uint32_t length) = 0;
};

// What the telephony object needs of its link: take over the call's data
// connection (a file descriptor and what the driver handed over with it;
// 1 = taken, the fd is the link's from then on; 0 = refused, the caller
// still owns and closes it) and stop. CCommLink implements it.
class ISerialLink : public ILinkWriter {
 public:
  virtual int Attach(int comm_handle, const CommHandover& with) = 0;
  virtual void Stop() = 0;
};

}  // namespace zentrel
