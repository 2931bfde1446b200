// The pictures the simulated camera looks at. A scene is rendered once per
// register setting (the still part, on the sensor's colour mosaic) and then moved
// and stamped per frame, so that a full-size frame costs one pass over memory.
#pragma once
#include <cstdint>

namespace vidlyn::vcam {

enum class Scene : uint8_t {
    Bars,      // eight colour bars, each a dark-to-bright ramp, moving 8 pixels per frame
    Gradient,  // red grows to the right, blue downwards, green along the diagonal
    Flat,      // one level everywhere (exposure tests)
};

struct SceneParams {
    Scene scene = Scene::Bars;
    int width = 0;
    int height = 0;
    int exposure = 1668;  // register 0x2004: larger is shorter
    int gain = 0;         // register 0x0005
    uint8_t flatLevel = 128;

    bool operator==(const SceneParams&) const = default;
};

// The still part of the scene (width x height bytes, rows top first). The level
// scales with the exposure time and the gain: exposure value 1668 at gain 0 is
// the reference level, a smaller value exposes longer.
void RenderSceneBase(const SceneParams& params, uint8_t* dst);

// How far frame `frame` is moved to the left against the still part (even, so
// that the colour mosaic keeps its phase).
int SceneShift(const SceneParams& params, uint32_t frame);

// True for scenes that carry the drawn frame counter.
bool SceneHasCounter(Scene scene);

}  // namespace vidlyn::vcam
