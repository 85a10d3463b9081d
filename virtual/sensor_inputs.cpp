// Polarity, level and edge handling of the status inputs.
#include "virtual/sensor_inputs.h"

#include "virtual/register_map.h"

namespace ordavel::virtual_scanner {

namespace {
// Per status bit: is it edge-triggered under this configuration?
uint8_t edgeMask(uint8_t sensorConfig, uint8_t pinConfig) {
    uint8_t mask = 0;
    if (sensorConfig & bits::kSensorEdge) mask |= 0x01;
    if (sensorConfig & (bits::kSensorEdge << 3)) mask |= 0x02;
    if (!(pinConfig & bits::kPinOutput) && (pinConfig & bits::kPinEdge)) mask |= 0x04;
    return mask;
}
}  // namespace

uint8_t SensorInputs::levelBits(uint8_t sensorConfig, uint8_t pinConfig) const {
    auto apply = [](bool level, bool polarityHigh) { return polarityHigh ? level : !level; };
    uint8_t value = 0;
    if (apply(levels_.paperSensor1, sensorConfig & bits::kSensorPolarityHigh)) value |= 0x01;
    if (apply(levels_.paperSensor2, sensorConfig & (bits::kSensorPolarityHigh << 3))) value |= 0x02;
    const bool pin = (pinConfig & bits::kPinOutput) ? (pinConfig & bits::kPinOutputState) != 0
                                                    : apply(levels_.tray, pinConfig & bits::kPinPolarityHigh);
    if (pin) value |= 0x04;
    return value;
}

void SensorInputs::update(const InputLevels& levels, uint8_t sensorConfig, uint8_t pinConfig) {
    levels_ = levels;
    const uint8_t now = levelBits(sensorConfig, pinConfig);
    latched_ |= static_cast<uint8_t>(now & ~previousBits_ & edgeMask(sensorConfig, pinConfig));
    previousBits_ = now;
}

uint8_t SensorInputs::peek(uint8_t sensorConfig, uint8_t pinConfig) const {
    const uint8_t edges = edgeMask(sensorConfig, pinConfig);
    return static_cast<uint8_t>((levelBits(sensorConfig, pinConfig) & ~edges) | (latched_ & edges));
}

uint8_t SensorInputs::read(uint8_t sensorConfig, uint8_t pinConfig) {
    const uint8_t value = peek(sensorConfig, pinConfig);
    latched_ = 0;
    return value;
}

}  // namespace ordavel::virtual_scanner
