#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/platform.h"

namespace zv {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_path = ::testing::TempDir() + "zv_ini_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
    std::remove(m_path.c_str());
  }
  void TearDown() override { std::remove(m_path.c_str()); }
  void Write(const std::string& text) { std::ofstream(m_path, std::ios::binary) << text; }
  std::string m_path;
};

TEST_F(IniFileTest, WritesCreateReplaceAndKeepOtherLines) {
  struct Case {
    const char* what;
    const char* before;  // nullptr: no file
    const char* after;
  };
  const Case cases[] = {
      {"no file", nullptr, "[Settings]\r\ndecode_state=off\r\n"},
      {"value replaced, neighbours kept",
       "; viewer\r\n[Settings]\r\nother=1\r\nDecode_State = on\r\nlast=2\r\n",
       "; viewer\r\n[Settings]\r\nother=1\r\ndecode_state=off\r\nlast=2\r\n"},
      {"key added to its section, before the next one",
       "[settings]\nother=1\n\n[Viewer]\nx=1\n",
       "[settings]\r\nother=1\r\ndecode_state=off\r\n\r\n[Viewer]\r\nx=1\r\n"},
      {"section added at the end", "[Viewer]\nx=1\n",
       "[Viewer]\r\nx=1\r\n[Settings]\r\ndecode_state=off\r\n"},
  };
  for (const Case& c : cases) {
    std::remove(m_path.c_str());
    if (c.before) Write(c.before);
    EXPECT_EQ(WriteProfileString("Settings", "decode_state", "off", m_path), 1) << c.what;
    EXPECT_EQ(Slurp(m_path), c.after) << c.what;
    EXPECT_EQ(ReadProfileString("SETTINGS", "DECODE_STATE", "", m_path), "off") << c.what;
  }
}

TEST_F(IniFileTest, ReadsFallBackAndRefusesLineBreaks) {
  EXPECT_EQ(ReadProfileString("Settings", "decode_state", "none", m_path), "none");
  Write("[Other]\ndecode_state=on\n");
  EXPECT_EQ(ReadProfileString("Settings", "decode_state", "none", m_path), "none");
  EXPECT_EQ(WriteProfileString("Settings", "decode_state", "on\r\n[Evil]", m_path), 0);
  EXPECT_EQ(Slurp(m_path), "[Other]\ndecode_state=on\n");
  EXPECT_EQ(WriteProfileString("Settings", "decode_state", "on", "/nonexistent/dir/x.ini"), 0);
}

TEST(PlatformTest, TicksAdvanceAcrossASleep) {
  const uint32_t start = TickCount();
  SleepMs(30);
  EXPECT_GE(static_cast<uint32_t>(TickCount() - start), 30u);
  EXPECT_FALSE(ExecutableDir().empty());
  EXPECT_EQ(PathBesideExecutable("Configure.ini"), ExecutableDir() + "/Configure.ini");
}

TEST(PlatformTest, PortsNamedByTheOperatorComeFirst) {
  using Ports = std::vector<std::string>;
  struct Row {
    Ports named, machine, lines;
  };
  const Row rows[] = {
      {{}, {"/dev/ttyS0", "/dev/ttyUSB0"}, {"/dev/ttyS0", "/dev/ttyUSB0"}},
      // The named port is line 0, the one a list selects, ahead of a UART.
      {{"/tmp/sim.serial"}, {"/dev/ttyS0"}, {"/tmp/sim.serial", "/dev/ttyS0"}},
      // Each port once, where it was first named.
      {{"/dev/ttyUSB0", "/tmp/a", "/dev/ttyUSB0"},
       {"/dev/ttyS0", "/dev/ttyUSB0"},
       {"/dev/ttyUSB0", "/tmp/a", "/dev/ttyS0"}},
  };
  for (const Row& row : rows) EXPECT_EQ(SerialPortLines(row.named, row.machine), row.lines);
}

}  // namespace
}  // namespace zv
