// The status register 0x02 as the chip forms it from its inputs: paper sensor 1 (bit 0), paper
// sensor 2 (bit 1) and general-purpose pin 1 (bit 2), each through its polarity and level/edge
// setting (0x58 for the paper sensors, the low nibble of 0x59 for pin 1).
//
// Electrical levels: a paper sensor is high while paper covers it; the tray input is high while
// the tray is empty or the cover is open. With polarity "high" a status bit is the level, with
// "low" its inverse. A level-triggered bit follows the input. An edge-triggered bit latches when
// the bit would become 1 and stays set until the status register is read. A pin configured as an
// output reads back its output state.
#pragma once

#include <cstdint>

namespace ordavel::virtual_scanner {

struct InputLevels {
    bool paperSensor1 = false;
    bool paperSensor2 = false;
    bool tray = false;
    bool operator==(const InputLevels&) const = default;
};

class SensorInputs {
public:
    // Records new levels, latching edges under the configuration in force now.
    void update(const InputLevels& levels, uint8_t sensorConfig, uint8_t pinConfig);
    // The status register; reading clears the edge latches.
    uint8_t read(uint8_t sensorConfig, uint8_t pinConfig);
    // The same value without the side effect, for observers.
    uint8_t peek(uint8_t sensorConfig, uint8_t pinConfig) const;
    const InputLevels& levels() const { return levels_; }

private:
    uint8_t levelBits(uint8_t sensorConfig, uint8_t pinConfig) const;

    InputLevels levels_;
    uint8_t previousBits_ = 0;
    uint8_t latched_ = 0;
};

}  // namespace ordavel::virtual_scanner
