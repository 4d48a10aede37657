// The serial port driver on a real pseudo-terminal.
#include <gtest/gtest.h>
#include <termios.h>

#include <cstdio>
#include <string>

#include "link/line_mode.h"
#include "link/port_device_path.h"
#include "link/serial_port.h"
#include "support/com_port_claim.h"
#include "tests/support/pty_peer.h"

namespace zema {

namespace {

// Opens the peer's port and closes it again at the end of the test.
class OpenPort : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(ComOpen(peer.port(), 512, 512), kOpenOk); }
  void TearDown() override { ComClose(peer.port()); }
  PtyPeer peer;
};

TEST(SerialPortOpen, ResultCodesForNumbersStateAndDevices) {
  EXPECT_EQ(ComOpen(0, 512, 512), kOpenBadNumber);
  EXPECT_EQ(ComOpen(257, 512, 512), kOpenBadNumber);
  EXPECT_EQ(ComOpen(-1, 512, 512), kOpenBadNumber);

  PtyPeer peer;
  ASSERT_EQ(ComOpen(peer.port(), 512, 512), kOpenOk);
  EXPECT_EQ(ComOpen(peer.port(), 512, 512), kOpenAlreadyOpen);
  // The first handle is still in use after the refused second open.
  const char byte = 'x';
  EXPECT_EQ(ComWrite(peer.port(), &byte, 1), 1);
  EXPECT_TRUE(peer.WaitForReceived(1));
  EXPECT_EQ(ComClose(peer.port()), kComOk);
  EXPECT_EQ(ComClose(peer.port()), kComNotUsable);

  // Open, close and open again: the exclusive mark must not outlive a close.
  ASSERT_EQ(ComOpen(peer.port(), 512, 512), kOpenOk);
  EXPECT_EQ(ComClose(peer.port()), kComOk);
}

TEST(SerialPortOpen, MissingDeviceGivesThree) {
  ComPortClaim dangling("/dev/does-not-exist-zema");
  EXPECT_EQ(ComOpen(dangling.port(), 512, 512), kOpenDeviceFailed);
  EXPECT_TRUE(ComIsUnusable(dangling.port()));
  EXPECT_EQ(ComClose(dangling.port()), kComNotUsable);
}

TEST(SerialPortOpen, NotATerminalIsRefused) {
  const std::string file = ExecutableFolder() + "/not-a-tty.tmp";
  std::FILE* f = std::fopen(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  ComPortClaim plainFile(file);
  EXPECT_EQ(ComOpen(plainFile.port(), 512, 512), kOpenDeviceFailed);
  std::remove(file.c_str());
}

TEST(SerialPortOpen, PortsWithoutLinkMapToTtyS) {
  // Tests claim numbers from 100 up, so 99 has no link.
  EXPECT_EQ(DeviceForPort(99), "/dev/ttyS98");
}

TEST(SerialPortUnusable, EveryOperationReportsNotUsable) {
  unsigned char buffer[4] = {};
  for (int port : {0, 77, 256, 300}) {
    SCOPED_TRACE(port);
    EXPECT_EQ(ComClose(port), kComNotUsable);
    EXPECT_EQ(ComSetMode(port, kLineModeOpenDefault), kComNotUsable);
    EXPECT_EQ(ComSetReadTimeout(port, 10), kComNotUsable);
    EXPECT_EQ(ComSetWriteTimeout(port, 10), kComNotUsable);
    EXPECT_EQ(ComPurgeRx(port), kComNotUsable);
    EXPECT_EQ(ComRxCount(port), 0);
    EXPECT_EQ(ComRead(port, buffer, 4), 0);
    EXPECT_EQ(ComWrite(port, buffer, 4), 0);
  }
}

TEST_F(OpenPort, OpenSets9600EightNoneOneRaw) {
  termios t = peer.CurrentSettings();
  EXPECT_EQ(cfgetospeed(&t), B9600);
  EXPECT_EQ(cfgetispeed(&t), B9600);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
}

struct SpeedCase {
  std::uint32_t word;
  speed_t speed;
};

TEST_F(OpenPort, SpeedWordsChangeOnlyTheSpeed) {
  // 0x106..0x10C as connection control builds them: speed plus "no parity".
  for (SpeedCase c : {SpeedCase{0x106, B4800}, SpeedCase{0x107, B9600}, SpeedCase{0x109, B19200},
                      SpeedCase{0x10A, B38400}, SpeedCase{0x10C, B57600}}) {
    SCOPED_TRACE(c.word);
    ASSERT_EQ(ComSetMode(peer.port(), c.word), kComOk);
    termios t = peer.CurrentSettings();
    EXPECT_EQ(cfgetospeed(&t), c.speed);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), 0u);
  }
}

TEST_F(OpenPort, FieldsLeftZeroKeepTheirSettings) {
  // Two stop bits and odd parity set first; a speed-only word keeps them.
  ASSERT_EQ(ComSetMode(peer.port(), 0x00000237), kComOk);  // 9600, odd, two stop bits
  termios before = peer.CurrentSettings();
  EXPECT_NE(before.c_cflag & CSTOPB, 0u);
  EXPECT_NE(before.c_cflag & PARODD, 0u);
  ASSERT_EQ(ComSetMode(peer.port(), 0x0000000C), kComOk);  // speed only
  termios after = peer.CurrentSettings();
  EXPECT_EQ(cfgetospeed(&after), B57600);
  EXPECT_NE(after.c_cflag & CSTOPB, 0u);
  EXPECT_NE(after.c_cflag & PARODD, 0u);

  // A word of 0 changes nothing but is still applied.
  ASSERT_EQ(ComSetMode(peer.port(), 0), kComOk);
  termios same = peer.CurrentSettings();
  EXPECT_EQ(same.c_cflag, after.c_cflag);
  EXPECT_EQ(same.c_iflag, after.c_iflag);
}

TEST_F(OpenPort, ParityModesMapToTermiosFlags) {
  struct Case {
    int code;
    tcflag_t odd, mark;
  };
  // The pty clears PARENB itself; PARODD and CMSPAR are kept and show the mode.
  for (Case c : {Case{2, PARODD, 0}, Case{3, 0, 0}, Case{4, PARODD, CMSPAR}, Case{5, 0, CMSPAR}}) {
    SCOPED_TRACE(c.code);
    ASSERT_EQ(ComSetMode(peer.port(), static_cast<std::uint32_t>(c.code) << 8), kComOk);
    termios t = peer.CurrentSettings();
    EXPECT_EQ(t.c_cflag & PARODD, c.odd);
    EXPECT_EQ(t.c_cflag & CMSPAR, c.mark);
    EXPECT_NE(t.c_iflag & INPCK, 0u);
  }
  ASSERT_EQ(ComSetMode(peer.port(), 0x100), kComOk);
  termios none = peer.CurrentSettings();
  EXPECT_EQ(none.c_cflag & (PARODD | CMSPAR), 0u);
  EXPECT_EQ(none.c_iflag & INPCK, 0u);
}

TEST_F(OpenPort, FlowControlFields) {
  ASSERT_EQ(ComSetMode(peer.port(), 0x11000000), kComOk);  // CTS flow on, XON/XOFF on
  termios on = peer.CurrentSettings();
  EXPECT_NE(on.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(on.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
  ASSERT_EQ(ComSetMode(peer.port(), 0x22000000), kComOk);  // both off
  termios off = peer.CurrentSettings();
  EXPECT_EQ(off.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(off.c_iflag & (IXON | IXOFF), 0u);
}

TEST_F(OpenPort, SettingsThePortCannotTakeAreRefusedWithoutChange) {
  termios before = peer.CurrentSettings();
  for (std::uint32_t word : {0x1000u /* 4 data bits */, 0x6000u, 0x600u /* parity 6 */}) {
    SCOPED_TRACE(word);
    EXPECT_EQ(ComSetMode(peer.port(), word | 0xCu), kComSystemRefused);
    termios after = peer.CurrentSettings();
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
  }
}

TEST_F(OpenPort, RefusedWordLeavesEverySettingAsItWas) {
  // Each word carries valid fields before one the port cannot take (in the
  // order they are applied: speed, parity, stop bits, data bits, flow), so a
  // driver that wrote the fields it had taken so far would show here.
  ASSERT_EQ(ComSetMode(peer.port(), 0x00000237), kComOk);  // 9600, odd, two stop bits
  const termios before = peer.CurrentSettings();
  for (std::uint32_t word : {0x1100123Cu,    // 57600, odd, two stop bits, 4 data bits, CTS, XON
                             0x0000100Eu,    // 256000 (termios2) with 4 data bits
                             0x0000731Cu,    // 57600, none, one stop bit, data-bits code 7
                             0x1150513Cu}) {  // 8 data bits, flow on, but RTS code 5
    SCOPED_TRACE(word);
    EXPECT_EQ(ComSetMode(peer.port(), word), kComSystemRefused);
    const termios after = peer.CurrentSettings();
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
    EXPECT_EQ(cfgetispeed(&after), cfgetispeed(&before));
  }
}

TEST_F(OpenPort, SilentLineReadReturnsNothingAfterTimeOut) {
  ASSERT_EQ(ComSetReadTimeout(peer.port(), 50), kComOk);
  unsigned char buffer[8];
  EXPECT_EQ(ComRead(peer.port(), buffer, 8), 0);
}

TEST_F(OpenPort, ReadReturnsOnceTheCountHasArrived) {
  // A long time-out: the read must still end as soon as its bytes are there
  // (a read that waited for the time-out would make this test take 30 s).
  ASSERT_EQ(ComSetReadTimeout(peer.port(), 30000), kComOk);
  peer.SendNow({1, 2, 3, 4});
  unsigned char buffer[4] = {};
  ASSERT_EQ(ComRead(peer.port(), buffer, 4), 4);
  EXPECT_EQ(buffer[3], 4);
}

TEST_F(OpenPort, ShortReplyReturnsWhatArrived) {
  ASSERT_EQ(ComSetReadTimeout(peer.port(), 100), kComOk);
  peer.SendNow({9, 8});
  unsigned char buffer[6] = {};
  EXPECT_EQ(ComRead(peer.port(), buffer, 6), 2);
}

TEST_F(OpenPort, CountPurgeAndWrite) {
  peer.SendNow({1, 2, 3});
  ASSERT_EQ(ComSetReadTimeout(peer.port(), 1000), kComOk);
  unsigned char first = 0;
  ASSERT_EQ(ComRead(peer.port(), &first, 1), 1);  // the rest has arrived with it
  EXPECT_EQ(ComRxCount(peer.port()), 2);
  EXPECT_EQ(ComPurgeRx(peer.port()), kComOk);
  EXPECT_EQ(ComRxCount(peer.port()), 0);

  const unsigned char out[] = {0x88, 0x77};
  EXPECT_EQ(ComWrite(peer.port(), out, 2), 2);
  ASSERT_TRUE(peer.WaitForReceived(2));
  EXPECT_EQ(peer.Received(), (Bytes{0x88, 0x77}));
}

TEST_F(OpenPort, HungUpLineEndsTheReadWithoutBusyWaiting) {
  ASSERT_EQ(ComSetReadTimeout(peer.port(), 30000), kComOk);
  peer.HangUp();
  unsigned char buffer[4];
  EXPECT_EQ(ComRead(peer.port(), buffer, 4), 0);
}

TEST(LineModeDecode, OpenDefaultWord) {
  LineModeFields f = DecodeLineMode(kLineModeOpenDefault);
  EXPECT_EQ(BaudRateForCode(f.baudCode), 9600u);
  EXPECT_EQ(f.stopBits, 1);
  EXPECT_EQ(f.parity, 1);
  EXPECT_EQ(DataBitsForCode(f.dataBits), 8);
  EXPECT_EQ(f.dtr, 2);
  EXPECT_EQ(f.rts, 2);
  EXPECT_FALSE(f.ctsFlowOn);
  EXPECT_TRUE(f.ctsFlowOff);
  EXPECT_FALSE(f.dsrFlowOn);
  EXPECT_TRUE(f.dsrFlowOff);
  EXPECT_EQ(f.xonXoff, 2);
}

}  // namespace

namespace {

TEST(SerialPortSpeeds, RatesWithoutATermiosConstantAreSet) {
  PtyPeer peer;
  ASSERT_EQ(ComOpen(peer.port(), 512, 512), kOpenOk);
  for (std::uint32_t code : {8u, 11u, 14u, 15u}) {  // 14400, 56000, 128000, 256000
    SCOPED_TRACE(code);
    EXPECT_EQ(ComSetMode(peer.port(), code), kComOk);
    termios t = peer.CurrentSettings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(0010000)) << "BOTHER: a rate given in bits per second";
  }
  // Back on a standard rate, the standard constant is used again.
  EXPECT_EQ(ComSetMode(peer.port(), 7), kComOk);
  termios t = peer.CurrentSettings();
  EXPECT_EQ(cfgetospeed(&t), B9600);
  ComClose(peer.port());
}

}  // namespace

}  // namespace zema
