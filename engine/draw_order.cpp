#include "engine/draw_item.h"
#include "engine/draw_order_rules.h"

namespace {

// The rules read the screen rectangle's top as `top`.
struct ItemView {
    const DrawItem& d;
    int32_t x1, y1, x2, y2;
    uint32_t flags, orderKey;
    int32_t top;
    explicit ItemView(const DrawItem& item)
        : d(item), x1(item.x1), y1(item.y1), x2(item.x2), y2(item.y2), flags(item.flags),
          orderKey(item.orderKey), top(item.dest.top) {}
};

} // namespace

namespace Engine {

bool DrawOrderLess(const DrawItem& a, const DrawItem& b) {
    return DrawOrderRules::Less(ItemView(a), ItemView(b));
}

bool SortKeyLess(const SortKey& a, const SortKey& b) {
    return DrawOrderRules::Less(a, b);
}

void SortDrawOrder(uint32_t* indices, size_t count, const DrawItem* items) {
    SortByDrawOrder(indices, count,
                    [items](uint32_t x, uint32_t y) { return DrawOrderLess(items[x], items[y]); });
}

} // namespace Engine
