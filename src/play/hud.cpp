// hud.cpp -- the status of every level: the energy bar in the top-left corner
// and the top text line with its level-4 fuel gauge and level-5 charge bar.
// Writes energy (capped at 240) and fps.
#include <cmath>

#include "platform/input.h"
#include "play/play.h"
#include "state/game_state.h"

namespace valmoren {

namespace {

constexpr uint32_t GAUGE_OUTLINE = 134;  // dark blue

int64_t colour_part(double v) { return static_cast<int64_t>(std::nearbyint(v)); }

// Red and green combined as red * 65536 + green * 256, kept to 24 bits.
uint32_t colour_of(int64_t red, int64_t green) {
    return static_cast<uint32_t>((red * 65536 + green * 256) & 0xFFFFFF);
}

void print_label(int column, const char* label) {
    locate(1, column);
    print_text(label);
}

}  // namespace

// The bar's frame and one segment per 10 energy, up to 24.
void draw_energy_bar() {
    if (g.energy > 240) g.energy = 240;
    put(0, 0, g.img_load);
    const int segments = static_cast<int>(std::floor(g.energy / 10.0));
    for (int i = 1; i <= segments; ++i) put(13 + 6 * (i - 1), 11, g.img_load2, PUT_OPAQUE);
}

void draw_hud() {
    g.fps = current_fps();
    print_label(70, "FPS:");
    print_number(g.fps, END_LINE);

    switch (g.level) {
        case 1:
            print_label(40, "Time:");
            print_real(g.level_time, END_LINE);
            print_label(55, "Score:");
            print_number(g.score, END_LINE);
            break;
        case 2:
        case 3:
        case 5:
            print_label(55, "Score:");
            print_number(g.score, END_LINE);
            break;
        case 4:
            print_label(58, "Score:");
            print_number(g.score, END_LINE);
            print_label(30, "Rocket:");
            print_number(g.rockets, END_LINE);
            break;
        default:
            break;
    }

    if (g.level == 4) {
        // Fuel gauge: from red when empty towards green when full.
        const uint32_t colour =
            colour_of(colour_part(255 - g.heading), colour_part(100 + g.heading));
        line(340, 5, 340 + g.heading, 10, colour, SHAPE_FILLED_BOX);
        line(340, 5, 440, 10, GAUGE_OUTLINE, SHAPE_BOX);
    } else if (g.level == 5) {
        // Charge bar: grows redder as the crosshair charges; the outline spans
        // the full charge of 6.
        const uint32_t colour = colour_of(colour_part(10 * g.thrust + 100), 0);
        line(240, 5, 240 + 5 * g.thrust, 10, colour, SHAPE_FILLED_BOX);
        line(240, 5, 270, 10, GAUGE_OUTLINE, SHAPE_BOX);
    }
}

}  // namespace valmoren
