// A pseudo-terminal's slave playing a UART with line counters, for as long as a UartShim lives:
// this process's ioctls on it answer TIOCGICOUNT with the counts the test makes, and its settings
// go without PARMRK, so that the far end's 0xFF 0x00 before a byte arrives as the mark a UART's
// driver puts before a bad byte. It stands in for ioctl in the test program that links
// kt_test_uart_shim; every other ioctl goes to the kernel unchanged.
#pragma once
#include <string>
namespace kestrel::test {
class UartShim {
public:
  explicit UartShim(const std::string &slave);
  ~UartShim();
  UartShim(const UartShim &) = delete;
  UartShim &operator=(const UartShim &) = delete;
  // The driver counts a byte it received with a framing or a parity error.
  void CountFramingError();
  void CountParityError();
};
} // namespace kestrel::test
