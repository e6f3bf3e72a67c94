// The 16550 UART of a PC serial port: registers as offsets from the port's base, and their bits.
#pragma once

#include <cstdint>

namespace uart {

constexpr uint16_t COM1_PORT = 0x3F8;
constexpr uint16_t COM2_PORT = 0x2F8;
constexpr uint32_t CLOCK_HZ = 115200;  // the baud rate of divisor 1

constexpr uint16_t DATA = 0;         // receive buffer / transmit holding (DLAB clear)
constexpr uint16_t DIVISOR_LO = 0;   // DLAB set
constexpr uint16_t IER = 1;          // interrupt enable (DLAB clear)
constexpr uint16_t DIVISOR_HI = 1;   // DLAB set
constexpr uint16_t FCR = 2;          // FIFO control (write)
constexpr uint16_t LCR = 3;          // line control
constexpr uint16_t MCR = 4;          // modem control
constexpr uint16_t LSR = 5;          // line status

constexpr uint8_t LCR_8N1 = 0x03;
constexpr uint8_t LCR_DLAB = 0x80;
constexpr uint8_t FCR_ENABLE = 0x01;
constexpr uint8_t FCR_CLEAR_RECEIVE = 0x02;
constexpr uint8_t FCR_CLEAR_TRANSMIT = 0x04;
constexpr uint8_t FCR_TRIGGER_14 = 0xC0;  // the receive FIFO signals at 14 bytes
constexpr uint8_t MCR_DTR = 0x01;
constexpr uint8_t MCR_RTS = 0x02;
constexpr uint8_t LSR_DATA_READY = 0x01;
constexpr uint8_t LSR_THR_EMPTY = 0x20;

}  // namespace uart
