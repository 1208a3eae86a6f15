// objects.cpp -- the falling objects of every level: spawning into the wave,
// the wave bookkeeping, and the per-frame move, draw and contacts of levels
// 1, 2 and 5. Writes objects, last_spawned, alive_count, split_requests,
// energy, score, level_time, player_x, vel_x, vel_y.
#include <cmath>

#include "audio/sound.h"
#include "platform/input.h"
#include "play/boxes.h"
#include "play/play.h"
#include "state/bounds.h"
#include "state/game_state.h"

namespace valmoren {

namespace {

// The bonus request left by a smashed asteroid: [0] wanted, [1] x, [2] y.
int16_t split_entry(size_t i) { return i < g.split_requests.size() ? g.split_requests[i] : 0; }

void set_split_request(int16_t wanted, int32_t x, int32_t y) {
    if (g.split_requests.size() < 3) return;
    g.split_requests[0] = wanted;
    g.split_requests[1] = static_cast<int16_t>(x);
    g.split_requests[2] = static_cast<int16_t>(y);
}

const Image* picture_of(int32_t kind) {
    switch (kind) {
        case OBJECT_ENEMY: return &g.img_enemy;
        case OBJECT_ROCK: return &g.img_rock;
        case OBJECT_ROCK2: return &g.img_rock2;
        case OBJECT_ENERGY: return &g.img_lives;
        case OBJECT_TIME: return &g.img_bonus;
        default: return nullptr;
    }
}

bool is_bonus(int32_t kind) { return kind == OBJECT_ENERGY || kind == OBJECT_TIME; }

// A bonus collected: it leaves play and its chime sounds.
void collect(FallingObject& o) {
    o.alive = OBJECT_ENDED;
    o.kind = OBJECT_NONE;
    stream_play(g.stream_fx);
}

// An obstacle crashed into the level-2 plane.
void hit_plane(FallingObject& o) {
    o.kind = OBJECT_HIT;
    g.energy -= 30;
    g.score -= 20;
    stream_play(g.stream_fx);
}

// An obstacle the ball runs into sends it back, slowed, for 1 energy.
void ball_bounces_off(const Image& picture, const FallingObject& o, int32_t w, int32_t h) {
    if (!sprites_overlap(picture, o.x, o.y, w, h, g.img_player, g.player_x, g.player_y, 16, 16))
        return;
    if (g.vel_x > 0)
        g.player_x -= 4;
    else
        g.player_x += 4;
    g.vel_y = halved(g.vel_y);
    g.vel_x = -g.vel_x;
    g.energy -= 1;
}

// Level 2: an obstacle that meets the plane crashes into it.
void plane_contact(FallingObject& o) {
    const Box box = level2_obstacle_box(o.kind);
    if (boxes_overlap(o.x, o.y, box.w, box.h, g.craft_x, g.craft_y, PLANE2_W, PLANE2_H)) hit_plane(o);
}

void contacts_level1_2(FallingObject& o) {
    switch (o.kind) {
        case OBJECT_ENEMY:
            ball_bounces_off(g.img_enemy, o, 75, 84);
            if (g.level == 2) plane_contact(o);
            break;
        case OBJECT_ROCK:
            ball_bounces_off(g.img_rock, o, 48, 62);
            if (g.level == 2) plane_contact(o);
            break;
        case OBJECT_ROCK2:
            if (g.level == 1) {
                if (boxes_overlap(o.x, o.y, ROCK_W, ROCK_H, g.player_x, g.player_y, BALL_SIZE, BALL_SIZE)) {
                    // The ball smashes the asteroid, and a bonus is offered where it was.
                    g.vel_y = halved(g.vel_y);
                    g.vel_x = -g.vel_x;
                    o.kind = OBJECT_HIT;
                    set_split_request(1, o.x, o.y);
                    g.score += 30;
                    const bool room = g.last_spawned < 5;
                    const bool wave_ok = wave_allows_spawn();
                    if (room && wave_ok) spawn_object();
                    set_split_request(0, 0, 0);
                }
            } else {
                plane_contact(o);
            }
            break;
        case OBJECT_ENERGY:
            // Energy bonus: either plane collects it; both are tested.
            for (int plane = 0; plane < 2; ++plane) {
                const int32_t px = plane == 0 ? g.craft_x : g.craft2_x;
                const int32_t py = plane == 0 ? g.craft_y : g.craft2_y;
                if (boxes_overlap(o.x, o.y, BONUS_SIZE, BONUS_SIZE, px, py, PLANE1_W, PLANE1_H)) {
                    if (g.energy < 240) g.energy += 30;
                    collect(o);
                }
            }
            break;
        case OBJECT_TIME:
            // Time bonus: 30 seconds off the countdown; the left plane also
            // gives 20 energy.
            if (boxes_overlap(o.x, o.y, BONUS_SIZE, BONUS_SIZE, g.craft_x, g.craft_y, PLANE1_W, PLANE1_H)) {
                g.level_time -= 30.0;
                g.energy += 20;
                collect(o);
            }
            if (boxes_overlap(o.x, o.y, BONUS_SIZE, BONUS_SIZE, g.craft2_x, g.craft2_y, PLANE1_W, PLANE1_H)) {
                g.level_time -= 30.0;
                collect(o);
            }
            break;
        default:
            break;
    }
}

void contacts_level5(FallingObject& o) {
    if (o.y > 460 && o.kind != OBJECT_NONE) {
        // It got through: gone, and it cost energy.
        o.y = -10;
        o.x = -10;
        o.kind = OBJECT_NONE;
        o.alive = OBJECT_ENDED;
        g.energy -= 30;
    }
    if (g.thrust > 0.0 && g.thrust <= 5.0) {
        const Box box = level5_target_box(o.kind);
        if (box.w == 0) return;
        if (boxes_overlap(o.x, o.y, box.w, box.h, g.player_x + CROSSHAIR_SPOT, g.player_y + CROSSHAIR_SPOT,
                          CROSSHAIR_SPOT_SIZE, CROSSHAIR_SPOT_SIZE)) {
            o.kind = OBJECT_HIT;
            g.score += 50;
            stream_play(g.stream_fx);
        }
    }
}

}  // namespace

// Fills the next record of the wave. Callers ask wave_allows_spawn() first;
// a record beyond the array is not written.
void spawn_object() {
    g.last_spawned += 1;
    FallingObject* r = record_at(g.objects, g.last_spawned);
    if (r == nullptr) return;

    if (g.level == 3) {
        r->x = roll(600);
        r->y = roll(400);
        r->dx = 0;
        r->dy = 0;
        const int32_t n = roll(4);
        r->kind = (n == 2 || n == 3) ? OBJECT_ROCK : OBJECT_ROCK2;
        r->alive = OBJECT_IN_PLAY;
        return;
    }
    if (g.level == 4) {
        r->y = roll(351) + 50;
        r->x = -20;
        r->dx = roll(g.fall_speed) + 1;
        r->kind = roll(4) == 2 ? OBJECT_ROCK : OBJECT_ROCK2;
        r->alive = OBJECT_IN_PLAY;
        return;
    }

    r->x = roll(440) + 100;
    r->y = -20;
    r->dy = g.level == 5 ? roll(g.fall_speed - 2) + 3 : roll(g.fall_speed) + 1;
    const int32_t n = roll(4);
    if (n >= 1) r->kind = n;  // 1..3: the three obstacles; 0 keeps the old kind
    r->alive = OBJECT_IN_PLAY;

    if (split_entry(0) == 1) {
        r->x = split_entry(1);
        r->y = split_entry(2);
        r->dy = 1;
        r->dx = roll(2) == 0 ? -1 : 1;
        r->alive = OBJECT_IN_PLAY;
        r->kind = (roll(10) + 1) % 2 == 0 ? OBJECT_ENERGY : OBJECT_TIME;
    }
}

// Counts the live objects of the wave; when the whole wave has been spawned
// and has ended, starts the next one. True while another object may come.
bool wave_allows_spawn() {
    g.alive_count = 0;
    for (int i = 0; i <= g.last_spawned; ++i) {
        const FallingObject* o = record_at(g.objects, i);
        if (o != nullptr && o->alive > 0) g.alive_count += 1;
    }
    if (g.alive_count == 0 && g.last_spawned == g.object_count) {
        g.last_spawned = -1;
        return true;
    }
    return g.last_spawned < g.object_count;
}

// Once per frame in levels 1, 2 and 5, after the background.
void update_objects() {
    const int last = g.last_spawned;  // objects spawned during the pass wait for the next frame
    for (int i = 0; i <= last; ++i) {
        FallingObject* p = record_at(g.objects, i);
        if (p == nullptr) break;
        FallingObject& o = *p;
        const bool bonus = is_bonus(o.kind);

        o.y += o.dy;
        if ((o.y > 480 || o.kind == OBJECT_EXPLODED) && !bonus) {
            o.alive = OBJECT_ENDED;
            o.kind = OBJECT_NONE;
        }
        if ((o.x < 0 || o.x > 640) && bonus) {
            o.alive = OBJECT_ENDED;
            o.kind = OBJECT_NONE;
        }

        if (o.alive > 0) {
            if (o.kind == OBJECT_HIT) {
                put(o.x, o.y, g.img_boom);
                o.kind = OBJECT_EXPLODED;
            } else if (is_bonus(o.kind)) {
                o.x += o.dx;
                if (o.y > 480 || o.y < 0) o.dy = -o.dy;
                put(o.x, o.y, *picture_of(o.kind));
            } else if (const Image* picture = picture_of(o.kind)) {
                put(o.x, o.y, *picture);
            }
        }

        if (g.level == 1 || g.level == 2)
            contacts_level1_2(o);
        else if (g.level == 5)
            contacts_level5(o);
    }
}

}  // namespace valmoren
