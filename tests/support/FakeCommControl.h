// A scriptable communications control: the test says which port numbers are
// present, absent or busy, then queues data and events for delivery.
#pragma once

#include "CommControl.h"

#include <map>
#include <string>
#include <vector>

namespace kestrel::test {

class FakeCommControl : public ICommControl {
public:
  enum class PortState { Absent, Free, Busy, Denied };

  void Port(int number, PortState state) { ports[number] = state; }

  std::int16_t CommPort() const override { return commPort_; }
  int CommPort(std::int16_t port) override;
  std::string Settings() const override { return settings_; }
  int Settings(const std::string &settings) override;
  std::int16_t InputLen() const override { return inputLen_; }
  int InputLen(std::int16_t length) override;
  bool RTSEnable() const override { return rts_; }
  int RTSEnable(bool high) override;
  bool DTREnable() const override { return dtr_; }
  int DTREnable(bool high) override;
  std::int16_t RThreshold() const override { return rThreshold_; }
  int RThreshold(std::int16_t threshold) override;
  bool PortOpen() const override { return open_; }
  int PortOpen(bool open) override;
  int PortProbe(std::int16_t port) override;
  int Output(const std::string &text) override;
  std::string Input() override;
  std::int16_t CommEvent() const override { return commEvent_; }
  void OnComm(std::function<void()> handler) override { handler_ = std::move(handler); }
  std::string LastErrorText() const override { return lastError_; }
  bool Break() const override { return break_; }
  int Break(bool on) override;
  std::int32_t OutBufferCount() const override;
  int OutBufferCount(std::int32_t count) override;
  int LineLevels(ModemLines &levels) const override;

  // Queues received bytes and raises one receive event.
  void Receive(const std::string &bytes);
  // Raises an event of the given kind.
  void Raise(int kind);
  // The device disappears: the port closes by itself.
  void Vanish();

  std::map<int, PortState> ports;
  std::string sent;              // everything Output took
  std::vector<int> opened;       // port numbers opened, in order
  std::vector<int> closed;       // port numbers closed, in order
  std::vector<int> probed;       // port numbers probed, in order
  std::vector<bool> rtsHistory;  // every RTSEnable set
  std::vector<int> setterErrors; // the result of every failing setter
  int settingsCalls = 0;

  // For the Tools menu: bytes not yet gone out stay in pending (sent holds
  // them too) until Drain lets them go; every Break set is recorded.
  void Drain(std::size_t bytes);
  std::size_t pending = 0;
  std::vector<bool> breakHistory;
  ModemLines inputs;         // CTS, DSR, CD and RI as the device shows them
  bool hasLines = true;      // false: a device without modem lines
  std::size_t discarded = 0; // bytes OutBufferCount(0) threw away

private:
  int Fail(int error, const std::string &text);
  int StateError(int port);

  std::int16_t commPort_ = 1;
  std::string settings_ = "9600,N,8,1";
  std::int16_t inputLen_ = 0;
  bool rts_ = false;
  bool dtr_ = false;
  std::int16_t rThreshold_ = 0;
  bool open_ = false;
  bool break_ = false;
  std::string input_;
  std::int16_t commEvent_ = 0;
  std::function<void()> handler_;
  std::string lastError_;
};

} // namespace kestrel::test
