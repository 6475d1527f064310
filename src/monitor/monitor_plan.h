// The live map monitor's points and its request plan: every non-empty entry of the four
// register maps becomes a point; the planner covers all points with the fewest Modbus read
// requests, merging neighbouring addresses of one table within the protocol's limits.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "document/configuration.h"

namespace r770 {

// One non-empty map entry as the monitor reads it.
struct MonitorPoint {
  MapKind kind = MapKind::TU;
  int row = 0;                // entry index in its map (0-based; the editors show row + 1)
  std::uint16_t address = 0;  // ModbusAddr
  std::string name;           // the name the map editors show (Configuration::DisplayName)
  bool operator==(const MonitorPoint&) const = default;
};

// Every non-empty entry of the four maps, map by map (Coils, Discrete Inputs, Holding
// Registers, Input Registers), in row order.
std::vector<MonitorPoint> CollectMonitorPoints(const Configuration& cfg);

// Addresses one entry takes: 1 bit, or a pair of registers for a floating-point value.
int PointWidth(MapKind kind);

struct PlanLimits {
  int maxBits = 2000;      // largest quantity of functions 1 and 2
  int maxRegisters = 125;  // largest quantity of functions 3 and 4
  int bitGap = 32;         // unused bits one request may span between two points
  int registerGap = 8;     // unused registers one request may span between two points
};

struct PlannedRequest {
  std::uint8_t function = 0;
  std::uint16_t start = 0;
  std::uint16_t count = 0;
  std::vector<int> points;  // indexes into the point list, by address
  bool operator==(const PlannedRequest&) const = default;
};

// The fewest requests covering every point: points of one function sorted by address are
// taken greedily into the current request while the gap before the next point is within the
// limit and the request stays within the quantity limit. A point that runs past address
// 65535 gets a request of its own. Requests come by function (1, 2, 3, 4), then by address.
std::vector<PlannedRequest> PlanRequests(const std::vector<MonitorPoint>& points,
                                         const PlanLimits& limits = {});

// One request per distinct address of `request`: what a merged request becomes when the
// server refuses it, so that each point gets its own answer.
std::vector<PlannedRequest> SplitRequest(const PlannedRequest& request,
                                         const std::vector<MonitorPoint>& points);

}  // namespace r770
