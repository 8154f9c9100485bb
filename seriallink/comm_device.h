// The serial device as the link sees it: overlapped-style operations (start a
// read, a line-error wait or a write; it completes at once or stays pending;
// wait for it together with the close event; fetch its result). One
// interface, a POSIX implementation over a file descriptor
// (comm_device_posix.cpp) and a scripted fake in the tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "seriallink/close_event.h"
#include "seriallink/handover.h"

namespace zentrel {

// Event mask bit of a line-status error, and the bits of the error word.
inline constexpr std::uint32_t EV_ERR = 128;
inline constexpr std::uint32_t CE_RXOVER = 1;
inline constexpr std::uint32_t CE_OVERRUN = 2;
inline constexpr std::uint32_t CE_RXPARITY = 4;
inline constexpr std::uint32_t CE_FRAME = 8;
inline constexpr std::uint32_t CE_BREAK = 16;

// The outcome of one device operation; errno is mapped to it once, at the edge.
enum class IoStatus { kDone, kPending, kInvalidHandle, kFailed };

// What a wait on the close event together with pending I/O yields, one set
// per side.
enum class ReadWait { kClose, kLineError, kRead, kFailed };
enum class WriteWait { kClose, kWriteDone, kFailed };

class ICommDevice {
 public:
  virtual ~ICommDevice() = default;

  // Sets the device up for the link: on a tty the line's format (the
  // settings found are kept for Close), everywhere the inter-byte silence
  // that ends a read. False, with the reason in `error`, when the device
  // refuses its settings.
  virtual bool Configure(std::chrono::milliseconds silence, std::string* error) = 0;
  // Puts the original settings back; the descriptor is closed when the last
  // owner lets go of the device.
  virtual void Close() = 0;
  // Gives the descriptor back to the caller unclosed (a failed attach).
  virtual void Disown() = 0;

  // Read side, read thread only (Purge from any thread).
  virtual bool SetEventMask(std::uint32_t mask) = 0;
  virtual IoStatus StartRead(char* buffer, std::uint32_t size, std::uint32_t* count) = 0;
  virtual IoStatus ReadResult(std::uint32_t* count) = 0;
  virtual IoStatus StartEventWait(std::uint32_t* mask) = 0;
  virtual IoStatus EventResult() = 0;
  virtual IoStatus ClearError(std::uint32_t* error_word) = 0;
  // Close, then line error, then read: the first that is ready wins.
  virtual ReadWait WaitReadSide(const CloseEvent& close) = 0;

  // Write side, write thread only.
  virtual IoStatus StartWrite(const char* data, std::uint32_t length, std::uint32_t* written) = 0;
  virtual WriteWait WaitWrite(const CloseEvent& close) = 0;
  virtual IoStatus WriteResult(std::uint32_t* written) = 0;

  // Empty the driver's buffers and end pending reads (writes) at once.
  virtual void PurgeRx() = 0;
  virtual void PurgeTx() = 0;
};

// Where devices come from: the handle check of Attach, then the take-over.
class ICommPlatform {
 public:
  virtual ~ICommPlatform() = default;
  virtual bool IsCommHandle(int fd) = 0;
  // `fd` with what the driver handed over beside it.
  virtual std::shared_ptr<ICommDevice> Open(int fd, const CommHandover& with) = 0;
};

// The real one: a tty, a connected stream socket, or a TLS session on one
// (see handover.h for what a driver hands over beside the descriptor).
ICommPlatform& PosixCommPlatform();

}  // namespace zentrel
