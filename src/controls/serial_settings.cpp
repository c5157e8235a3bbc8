#include "controls/serial_settings.h"

#include <QComboBox>

#include "link/serial_port.h"
#include "platform/platform.h"

namespace zv {

void FillSerialPortList(QComboBox* port_list) {
  port_list->clear();
  for (const std::string& path : SerialPortLines(ExtraSerialPorts(), ListSerialPorts()))
    port_list->addItem(QString::fromStdString(path));
}

void FillBaudList(QComboBox* baud_list) {
  for (size_t i = 0; i < kBaudRateLines.size(); ++i)
    baud_list->insertItem(static_cast<int>(i), QString::number(kBaudRateLines[i]));
  baud_list->setCurrentIndex(0);
}

SerialChoice ChosenSerialPort(const QComboBox* port_list, const QComboBox* baud_list) {
  SerialChoice choice;
  if (baud_list->currentIndex() >= 0) choice.baud = baud_list->currentText().toUInt();
  if (port_list->currentIndex() >= 0) choice.name = port_list->currentText().toStdString();
  return choice;
}

void ConnectSerialPort(CnComm& port, const QComboBox* port_list, const QComboBox* baud_list,
                       bool write_trace) {
  const QString baud_text = baud_list->currentIndex() >= 0 ? baud_list->currentText() : QString();
  const QString port_text = port_list->currentIndex() >= 0 ? port_list->currentText() : QString();
  if (port.IsOpen()) {
    if (write_trace) Trace("close the com");
    port.Close(CnComm::kDefaultCloseWaitMs);
  }
  const uint32_t baud = baud_text.toUInt();
  const bool opened = port.Open(port_text.toStdU16String(), baud);
  if (write_trace) Trace("%s", opened ? "com open success" : "com open failed");
}

}  // namespace zv
