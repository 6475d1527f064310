#include "monitor/monitor_plan.h"

#include <algorithm>
#include <numeric>

namespace r770 {

std::vector<MonitorPoint> CollectMonitorPoints(const Configuration& cfg) {
  std::vector<MonitorPoint> points;
  for (MapKind kind : {MapKind::TU, MapKind::TC, MapKind::TIFloat, MapKind::InputReg}) {
    const RegisterMap& map = cfg.Map(kind);
    for (std::size_t i = 0; i < map.size(); ++i) {
      const MapEntry& e = map[i];
      if (e.IsEmpty()) continue;
      points.push_back({kind, static_cast<int>(i), e.ModbusAddr, cfg.DisplayName(e)});
    }
  }
  return points;
}

int PointWidth(MapKind kind) { return IsBitMap(kind) ? 1 : 2; }

std::vector<PlannedRequest> PlanRequests(const std::vector<MonitorPoint>& points, const PlanLimits& limits) {
  std::vector<int> order(points.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    const MonitorPoint& pa = points[static_cast<std::size_t>(a)];
    const MonitorPoint& pb = points[static_cast<std::size_t>(b)];
    std::uint8_t fa = MapReadFunction(pa.kind), fb = MapReadFunction(pb.kind);
    return fa != fb ? fa < fb : pa.address < pb.address;
  });

  std::vector<PlannedRequest> plan;
  long start = 0, end = 0;  // the current request covers [start, end)
  for (int index : order) {
    const MonitorPoint& p = points[static_cast<std::size_t>(index)];
    const std::uint8_t function = MapReadFunction(p.kind);
    const bool bits = IsBitMap(p.kind);
    const long pStart = p.address;
    const long pEnd = pStart + PointWidth(p.kind);
    const long limit = bits ? limits.maxBits : limits.maxRegisters;
    const long gap = bits ? limits.bitGap : limits.registerGap;
    if (!plan.empty() && plan.back().function == function) {
      const long newEnd = std::max(end, pEnd);
      if (pStart <= end + gap && newEnd - start <= limit && newEnd <= 0x10000) {
        end = newEnd;
        plan.back().count = static_cast<std::uint16_t>(end - start);
        plan.back().points.push_back(index);
        continue;
      }
    }
    start = pStart;
    end = pEnd;
    // A pair at 65535 runs off the address space: it is asked as it is, alone (the check
    // newEnd <= 0x10000 above keeps everything else out of its request).
    plan.push_back(
        {function, static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(end - start), {index}});
  }
  return plan;
}

std::vector<PlannedRequest> SplitRequest(const PlannedRequest& request,
                                         const std::vector<MonitorPoint>& points) {
  std::vector<PlannedRequest> parts;
  for (int index : request.points) {
    const MonitorPoint& p = points[static_cast<std::size_t>(index)];
    if (!parts.empty() && parts.back().start == p.address) {
      parts.back().points.push_back(index);
      continue;
    }
    parts.push_back({request.function, p.address, static_cast<std::uint16_t>(PointWidth(p.kind)), {index}});
  }
  return parts;
}

}  // namespace r770
