#include "tools/forge/pack_writer.h"

namespace korvel::forge {

Bytes write_pack(const PackSpec& pack, bool big_endian) {
  ByteSink sink(big_endian);
  sink.u32(static_cast<std::uint32_t>(pack.items.size()));
  const std::size_t pairs_at = sink.size();
  sink.zeros(8 * pack.items.size());
  sink.raw(pack.extra_header);
  for (std::size_t i = 0; i < pack.items.size(); ++i) {
    const PackItemSpec& item = pack.items[i];
    const auto recorded =
        item.recorded_size.value_or(static_cast<std::uint32_t>(item.payload.size()));
    const std::size_t start = sink.size();
    sink.patch_u32(pairs_at + 8 * i, static_cast<std::uint32_t>(start));
    sink.patch_u32(pairs_at + 8 * i + 4, recorded);
    sink.raw(item.payload);
    if (i != 0) sink.zeros((4 - item.payload.size() % 4) % 4);
  }
  return sink.take();
}

Bytes pack_of(const std::vector<Bytes>& items, bool big_endian) {
  PackSpec pack;
  for (const Bytes& payload : items) pack.items.push_back({payload, std::nullopt});
  return write_pack(pack, big_endian);
}

}  // namespace korvel::forge
