// flight.cpp -- level 3: the rotating ship (heading sectors, inertia, thrust,
// drag, speed limit, wrap-around), the asteroids it must avoid and the start of
// each debris wave. Writes g.player_x, g.player_y, g.vel_x, g.vel_y,
// g.aim_dx, g.aim_dy, g.heading, g.thrust, g.ship_frame, g.ship_pictures,
// g.objects, g.energy, g.last_spawned, g.rocks_left and g.level_done.
#include <cmath>
#include <string>

#include "audio/sound.h"
#include "levels/levels.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "play/boxes.h"
#include "play/play.h"
#include "state/bounds.h"
#include "state/game_state.h"

namespace valmoren {

namespace {

constexpr double MAX_THRUST = 30.0;
constexpr double DRAG = 0.03;  // speed lost per frame while the engine is off

// Reads the 16 rotated ship pictures the first time the ship needs one. A file
// that cannot be read leaves its picture empty (the ship is then not drawn in
// that heading).
void load_ship_pictures() {
    if (g.ship_pictures.size() == SHIP_SECTOR_COUNT) return;
    g.ship_pictures.assign(SHIP_SECTOR_COUNT, Image{});
    for (int i = 0; i < SHIP_SECTOR_COUNT; ++i) {
        Image& picture = g.ship_pictures[static_cast<size_t>(i)];
        const std::string path = "img/rotate/abc" + std::to_string(i + 1) + ".bmp";
        if (load_bmp(path, picture) == BMP_NO_FILE) empty_image(picture);
    }
}

// The ship's step along one axis: the speed-scaled direction rounded to whole
// tenths of a pixel, then whole pixels with the remainder dropped toward zero.
int64_t ship_step(int32_t direction, double speed) {
    const double tenths = std::nearbyint(static_cast<double>(direction) * speed);
    if (!(tenths > -1e12 && tenths < 1e12)) return 0;
    return static_cast<int64_t>(tenths) / 10;
}

void move_ship() {
    g.player_x = static_cast<int32_t>(g.player_x + ship_step(g.vel_x, g.thrust));
    g.player_y = static_cast<int32_t>(g.player_y + ship_step(g.vel_y, g.thrust));
}

// Turns the direction of travel one unit toward the aim, x before y.
void steer_toward_aim() {
    if (g.vel_x < g.aim_dx) {
        g.vel_x += 1;
    } else if (g.vel_x > g.aim_dx) {
        g.vel_x -= 1;
    } else if (g.vel_y < g.aim_dy) {
        g.vel_y += 1;
    } else if (g.vel_y > g.aim_dy) {
        g.vel_y -= 1;
    }
}

}  // namespace

// Finds the sector of the heading: its picture becomes the ship's frame and its
// direction the aim. A heading outside 0..360 changes nothing.
void choose_ship_sector() {
    load_ship_pictures();
    for (int i = 0; i < SHIP_SECTOR_COUNT; ++i) {
        const ShipSector& s = SHIP_SECTORS[i];
        if (g.heading >= s.from && g.heading < s.to) {
            g.ship_frame = &g.ship_pictures[static_cast<size_t>(i)];
            g.aim_dx = s.dx;
            g.aim_dy = s.dy;
            return;
        }
    }
}

// The ship's frame: Space pushes it toward its heading and speeds it up,
// otherwise it slows down; it drifts along its direction, wraps at the screen's
// edges and is drawn in its heading's picture.
void fly_ship() {
    if (g.heading >= 360.0) {
        g.heading = 0.0;
    } else if (g.heading < 0.0) {
        g.heading = 359.0;
    }
    if (key_down(KEY_SPACE)) {
        choose_ship_sector();
        steer_toward_aim();
        g.thrust += g.ship_accel;
        move_ship();
    } else {
        g.thrust += -DRAG;
        move_ship();
    }
    if (g.vel_x == 0 && g.vel_y == 0) g.thrust = 0.0;
    if (g.thrust > MAX_THRUST) g.thrust = MAX_THRUST;
    if (g.thrust < 0.0) {
        // Coasted to a stop: the ship now points its travel where it faces.
        g.thrust = 0.0;
        g.vel_y = g.aim_dy;
        g.vel_x = g.aim_dx;
    }
    if (g.player_x < -30) g.player_x += 640;
    if (g.player_y < -30) g.player_y += 480;
    if (g.player_x > 640) g.player_x -= 640;
    if (g.player_y > 480) g.player_y -= 480;
    choose_ship_sector();
    if (g.ship_frame != nullptr) put(g.player_x, g.player_y, *g.ship_frame);
}

// The wave's asteroids: drawn while in play, and each one the ship touches
// costs 30 energy and explodes.
void update_hazards() {
    if (g.last_spawned < 0) return;
    const Image& ship = g.ship_frame != nullptr ? *g.ship_frame : g.img_player;
    const int last = last_index(g.objects, g.last_spawned);
    for (int k = 0; k <= last; ++k) {
        FallingObject& o = g.objects[static_cast<size_t>(k)];
        if (o.alive > 0) {
            if (o.kind == OBJECT_ROCK) {
                put(o.x, o.y, g.img_rock);
            } else if (o.kind == OBJECT_ROCK2) {
                put(o.x, o.y, g.img_rock2);
            } else if (o.kind == OBJECT_HIT) {
                put(o.x, o.y, g.img_boom);
                o.kind = OBJECT_EXPLODED;
            }
        }
        if (o.kind != OBJECT_EXPLODED && sprites_overlap(g.img_rock, o.x, o.y, ROCK_W, ROCK_H, ship,
                                                         g.player_x, g.player_y, SHIP_W, SHIP_H)) {
            g.energy = static_cast<int16_t>(g.energy - 30);
            o.kind = OBJECT_HIT;
            stream_play(g.stream_fx);
        }
    }
}

// A new debris wave: the old asteroids are spent, the ship stops, fresh
// asteroids and a larger scatter of debris are placed. The start that finds
// the debris count past its last wave wins the level instead.
void start_debris_wave() {
    g.last_spawned = -1;
    const int last = last_index(g.objects, g.object_count - 1);
    for (int k = 0; k <= last; ++k) {
        g.objects[static_cast<size_t>(k)].kind = OBJECT_EXPLODED;
        g.objects[static_cast<size_t>(k)].alive = OBJECT_ENDED;
    }
    g.thrust = 0.0;
    g.vel_x = 0;
    g.vel_y = 0;
    for (int n = 0; n < g.object_count; ++n) {
        // The spawner writes the next record itself; never past the array.
        if (g.last_spawned + 1 >= static_cast<int>(g.objects.size())) break;
        spawn_object();
    }
    build_formation(0);
    if (g.rock_count >= 10) {
        show_overlay(OVERLAY_LEVEL_DONE);
        g.level_done = 1;
    }
    g.rocks_left = static_cast<uint8_t>(g.rock_count + 1);
}

}  // namespace valmoren
