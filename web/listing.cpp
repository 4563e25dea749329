// The page's sprite list and frame-rate field, in the run's own terms.
#include <new>
#include <string>

#include "run/animation_rate.h"
#include "run/sprite_order.h"
#include "web/bridge.h"

namespace {

std::string orderText;

}  // namespace

extern "C" {

const char* KelvaneSpriteOrder(const char* names) {
    try {
        orderText = SpriteOrderJson(names == nullptr ? std::string() : std::string(names));
    } catch (const std::bad_alloc&) {
        orderText.clear();
    }
    return orderText.empty() ? nullptr : orderText.c_str();
}

int KelvaneMinFps() { return kMinFps; }
int KelvaneMaxFps() { return kMaxFps; }
int KelvaneDefaultFps() { return kDefaultFps; }

}  // extern "C"
