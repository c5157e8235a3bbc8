// The serial-port operations shared by the connection settings window and the
// matrix connection page: filling the port and baud lists, and opening the
// one serial port from what they show.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "link/serial_port.h"

class QComboBox;

namespace zv {

class CnComm;

// How often a window with a serial group looks whether the line is still
// there, and what it then tells the operator.
inline constexpr int kSerialLineCheckMs = 250;
inline constexpr const char* kSerialLineLostText =
    "The serial line was lost. Check the cable and connect again.";

// Empties the list and adds the ports given on the command line, then the
// machine's own serial ports. The caller selects line 0.
void FillSerialPortList(QComboBox* port_list);
// The five rates, 9600 first, with line 0 selected.
void FillBaudList(QComboBox* baud_list);
// The port and baud the lists show.
struct SerialChoice {
  std::string name;
  uint32_t baud = 0;
};
SerialChoice ChosenSerialPort(const QComboBox* port_list, const QComboBox* baud_list);

// (Re)opens `port` with the selected port and baud lines; an open port is
// closed first. The outcome goes to the trace only (unless `write_trace` is
// false): the caller shows it.
void ConnectSerialPort(CnComm& port, const QComboBox* port_list, const QComboBox* baud_list,
                       bool write_trace = true);

}  // namespace zv
