#pragma once

// What a mouse drag does to the view. The viewer's menu picks Rotate,
// Translate or Scale for the left button; the wheel always scales.
enum DragMode : int {
    None = 0,
    Rotate = 1,
    Translate = 2,
    Scale = 4,
};
