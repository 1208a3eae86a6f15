// digest.cpp -- the digest of the whole game state. Writes no GameState fields.
#include "state/digest.h"

#include <cstring>

#include "state/game_state.h"

namespace valmoren {

namespace {

// FNV-1a over the values' bytes in little-endian order, so the digest is the
// same on every machine; reals by their bits.
struct Digest {
    uint64_t h = 0xcbf29ce484222325ull;
    void byte(uint8_t b) {
        h ^= b;
        h *= 0x100000001b3ull;
    }
    template <typename T>
    void whole(T v) {
        const auto u = static_cast<uint64_t>(static_cast<int64_t>(v));
        for (size_t i = 0; i < sizeof(T); ++i) byte(static_cast<uint8_t>(u >> (8 * i)));
    }
    void real(double v) {
        uint64_t u;
        std::memcpy(&u, &v, sizeof u);
        whole(u);
    }
    // Eight bytes on every machine, whatever the width of size_t.
    void count(size_t n) { whole(static_cast<uint64_t>(n)); }
    void picture(const Image& img) {
        whole(img.w);
        whole(img.h);
        whole(image_rows_held(img));
    }
};

}  // namespace

uint64_t fold_state(uint64_t before) {
    Digest d;
    d.h = before;
    d.whole(g.controls_mouse);
    d.whole(g.music_on);
    d.whole(g.level);
    d.whole(g.request);
    d.whole(g.level_done);
    d.whole(g.energy);
    d.whole(g.score);
    d.whole(g.rockets);
    for (int32_t v : {g.player_x, g.player_y, g.craft_x, g.craft_y, g.craft2_x, g.craft2_y, g.vel_x, g.vel_y,
                      g.aim_dx, g.aim_dy})
        d.whole(v);
    d.real(g.heading);
    d.real(g.thrust);
    d.real(g.ship_accel);
    // Which of the ship's pictures is drawn, by its place; eight bytes on
    // every machine (a long has four on Windows).
    int64_t frame = -1;
    for (size_t i = 0; i < g.ship_pictures.size(); ++i)
        if (g.ship_frame == &g.ship_pictures[i]) frame = static_cast<int64_t>(i);
    d.whole(frame);
    d.count(g.ship_pictures.size());
    for (const Image& img : g.ship_pictures) d.picture(img);
    d.whole(g.thrusting);
    d.whole(g.object_count);
    d.whole(g.last_spawned);
    d.whole(g.fall_speed);
    d.whole(g.alive_count);
    d.real(g.dice);
    d.whole(g.rocks_left);
    d.whole(g.rock_count);
    d.whole(g.wave_no);
    d.whole(g.wave_step);
    d.real(g.level_time);
    d.whole(g.tick_mark);
    d.real(g.event_time);
    d.whole(g.fps);
    for (int32_t v : {g.mouse_x, g.mouse_y, g.mouse_buttons, g.bg_scroll, g.bg_scroll2, g.bg_tile_x, g.bg_tile_y,
                      g.bg_tile_x2})
        d.whole(v);
    d.whole(g.bg_mode);
    d.whole(g.last_shot);
    d.real(g.fire_time);
    for (const Image* img : {&g.img_player, &g.img_craft, &g.img_craft2, &g.img_backg, &g.img_backg2, &g.img_enemy,
                             &g.img_rock, &g.img_rock2, &g.img_boom, &g.img_lives, &g.img_bonus, &g.img_load,
                             &g.img_load2})
        d.picture(*img);
    d.count(g.objects.size());
    for (const FallingObject& o : g.objects)
        for (int32_t v : {o.x, o.y, o.dy, o.dx, o.kind, o.alive}) d.whole(v);
    d.count(g.split_requests.size());
    for (int16_t v : g.split_requests) d.whole(v);
    d.count(g.ball_history.size());
    for (int8_t v : g.ball_history) d.whole(v);
    d.count(g.shots.size());
    for (const Shot& s : g.shots)
        for (int32_t v : {s.x, s.y, s.dy, s.kind}) d.whole(v);
    d.count(g.enemies.size());
    for (const Enemy& e : g.enemies)
        for (int32_t v : {e.x, e.y, e.dy, e.dx, e.state, e.hits}) d.whole(v);
    d.whole(g.stream_music);
    d.whole(g.stream_fx);
    d.whole(g.stream_fx2);
    return d.h;
}

}  // namespace valmoren
