// waves.cpp -- the level-2 enemy formation (five waves, its fire and every shot
// hit of level 2) and the level-3 debris pieces that share its records.
// Writes g.enemies, g.shots (through the pool), g.last_shot, g.objects,
// g.energy, g.score, g.wave_no, g.wave_step, g.level_done, g.rock_count and
// g.rocks_left.
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

constexpr int FORMATION_SIZE = FORMATION_LAST + 1;

// Hit boxes of level 2.
constexpr int ENEMY_W = 62, ENEMY_H = 39;
constexpr int PLAYER_SHOT_W = 5, PLAYER_SHOT_H = 8;
constexpr int ENEMY_SHOT_W = 5, ENEMY_SHOT_H = 7;

// Level 3: a debris piece.
constexpr int PIECE_W = 21, PIECE_H = 45;
// Frames an explosion (level 2) or a pick-up picture (level 3) counts down
// before the piece is gone and paid for.
constexpr int EXPLOSION_FRAMES = 3;
constexpr int PICKUP_FRAMES = 10;

// The picture the level-3 ship is drawn with (the sector's rotated picture).
const Image& ship_picture() { return g.ship_frame != nullptr ? *g.ship_frame : g.img_player; }

int row_of(int i) { return i < 8 ? 0 : (i < 15 ? 1 : 2); }

// Level 3: a new wave of debris, one piece more on each side than the last.
void scatter_debris() {
    g.rock_count = static_cast<int8_t>(g.rock_count + 2);
    const int last = last_index(g.enemies, g.rock_count);
    for (int i = 0; i <= last; ++i) {
        Enemy& e = g.enemies[static_cast<size_t>(i)];
        e.x = roll(600);
        e.y = roll(400);
        e.dx = 0;
        e.dy = 0;
        e.state = ENEMY_ALIVE;
        e.hits = 1;
    }
}

// A struck enemy or collected piece shows `picture` while its count runs
// down; when the count passes `frames` it is gone, its points are paid and
// `sound` plays.
void count_down(Enemy& e, const Image& picture, int frames, int points, StreamHandle& sound) {
    put(e.x, e.y, picture);
    e.hits = 1;
    e.state -= 1;
    if (e.state < -frames) {
        e.state = ENEMY_GONE;
        g.score = static_cast<int16_t>(g.score + points);
        stream_play(sound);
    }
}

// Level 3: pieces the ship touches are collected, show the bonus picture for
// ten frames and then pay 100 points.
void collect_debris() {
    const int last = last_index(g.enemies, g.rock_count);
    for (int i = 0; i <= last; ++i) {
        Enemy& e = g.enemies[static_cast<size_t>(i)];
        if (e.state == ENEMY_ALIVE) {
            if (sprites_overlap(ship_picture(), g.player_x, g.player_y, SHIP_W, SHIP_H, g.img_enemy,
                                e.x, e.y, PIECE_W, PIECE_H)) {
                e.state = ENEMY_STRUCK;
                g.rocks_left = static_cast<uint8_t>(g.rocks_left - 1);
            }
            put(e.x, e.y, g.img_enemy);
        } else if (e.state <= ENEMY_STRUCK) {
            count_down(e, g.img_bonus, PICKUP_FRAMES, 100, g.stream_fx2);
        }
    }
}

// Level 2: moves, bounces, tests against the plane, draws and counts down the
// explosions of the formation.
void move_formation(int wave) {
    const int last = last_index(g.enemies, FORMATION_LAST);
    for (int i = 0; i <= last; ++i) {
        Enemy& e = g.enemies[static_cast<size_t>(i)];
        if (e.state == ENEMY_GONE) continue;
        if (e.hits <= 0) e.state = ENEMY_STRUCK;
        e.x += e.dx;
        e.y += e.dy;
        if (wave == 2) {
            if (e.x > 600 || e.x < 0) e.dx = -e.dx;
        } else if (wave == 3) {
            // At each edge the formation turns and steps down.
            if (e.x > 640 || e.x < 0) {
                e.dx = -e.dx;
                e.y += 10;
            }
        } else if (wave == 4 || wave == 5) {
            if (e.y > 300 || e.y < 0) e.dy = -e.dy;
        }
        // Flying into the formation ends the game.
        if (boxes_overlap(g.craft_x, g.craft_y, PLANE2_W, PLANE2_H, e.x, e.y, ENEMY_W, ENEMY_H)) {
            show_overlay(OVERLAY_GAME_OVER);
            stream_play(g.stream_fx);
        }
        if (e.state == ENEMY_ALIVE) {
            put(e.x, e.y, g.img_player);
        } else if (e.state <= ENEMY_STRUCK) {
            count_down(e, g.img_boom, EXPLOSION_FRAMES, 30, g.stream_fx);
        }
    }
}

// Level 2: a player shot against the formation and the falling objects. The
// shot keeps being tested after a hit, so one shot can hit several targets.
void player_shot_hits(Shot& shot) {
    const int last_enemy = last_index(g.enemies, FORMATION_LAST);
    for (int j = 0; j <= last_enemy; ++j) {
        Enemy& e = g.enemies[static_cast<size_t>(j)];
        if (e.state == ENEMY_GONE) continue;
        if (sprites_overlap(g.img_player, e.x, e.y, ENEMY_W, ENEMY_H, g.img_craft2, shot.x, shot.y,
                            PLAYER_SHOT_W, PLAYER_SHOT_H)) {
            shot.kind = SHOT_FREE;
            e.hits -= 1;
        }
    }
    const int last_object = last_index(g.objects, g.last_spawned);
    for (int k = 0; k <= last_object; ++k) {
        FallingObject& o = g.objects[static_cast<size_t>(k)];
        const Box box = level2_obstacle_box(o.kind);
        bool hit = false;
        if (o.kind == OBJECT_ENEMY) {
            hit = sprites_overlap(g.img_enemy, o.x, o.y, box.w, box.h, g.img_craft2, shot.x, shot.y,
                                  PLAYER_SHOT_W, PLAYER_SHOT_H);
        } else if (o.kind == OBJECT_ROCK || o.kind == OBJECT_ROCK2) {
            // The asteroids meet the shot as a box of an enemy shot's size.
            hit = boxes_overlap(o.x, o.y, box.w, box.h, shot.x, shot.y, ENEMY_SHOT_W, ENEMY_SHOT_H);
        }
        if (hit) {
            o.kind = OBJECT_HIT;
            g.score = static_cast<int16_t>(g.score + 20);
            shot.kind = SHOT_FREE;
            stream_play(g.stream_fx);
        }
    }
}

}  // namespace

// Places a formation: patterns 1..5 are the level-2 waves, 0 the level-3
// debris. Other numbers change nothing.
void build_formation(int pattern) {
    if (pattern == 0) {
        scatter_debris();
        return;
    }
    if (pattern < 1 || pattern > 5) return;
    static constexpr int WAVE5_ROW0_DY[8] = {3, 2, 1, 1, 1, 1, 2, 3};
    static constexpr int WAVE5_ROW12_DY[7] = {3, 2, 1, 1, 1, 2, 3};
    static constexpr int WAVE3_DX[3] = {2, 3, 6};
    static constexpr int HITS[6] = {0, 5, 6, 7, 10, 10};
    const int last = last_index(g.enemies, FORMATION_LAST);
    for (int i = 0; i <= last; ++i) {
        Enemy& e = g.enemies[static_cast<size_t>(i)];
        const int row = row_of(i);
        const int col = row == 0 ? i : (row == 1 ? i - 8 : i - 15);
        e.x = row == 0 ? 50 + 70 * col : 90 + 70 * col;
        e.y = row == 0 ? 20 : (row == 1 ? 90 : 160);
        e.state = ENEMY_ALIVE;
        e.hits = HITS[pattern];
        e.dx = 0;
        e.dy = 0;
        switch (pattern) {
            case 2: e.dx = 2; break;
            case 3: e.dx = WAVE3_DX[row]; break;
            case 4: e.dy = row == 1 ? 0 : 2; break;
            case 5: e.dy = row == 0 ? WAVE5_ROW0_DY[col] : WAVE5_ROW12_DY[col]; break;
            default: break;
        }
    }
}

// Level 2: the formation's frame, then its fire. Level 3: the debris pieces.
// In every level a wave with no pieces left shows the level-done overlay and
// waits for a key (only level 3 ever gets there).
void update_enemies(int wave) {
    if (g.level == 3) {
        collect_debris();
    } else {
        move_formation(wave);
        enemy_fire();
    }
    if (g.rocks_left == 0) {
        show_overlay(OVERLAY_LEVEL_DONE);
        wait(-1);
    }
}

// Live enemies drop a shot now and then when the plane is under them. The pool
// is asked for every live enemy, so it recycles as early as it can.
void enemy_fire() {
    const int last = last_index(g.enemies, FORMATION_LAST);
    for (int i = 0; i <= last; ++i) {
        const Enemy& e = g.enemies[static_cast<size_t>(i)];
        if (e.state <= ENEMY_GONE) continue;
        const int r = roll(50) + 1;
        const bool room = shots_available();
        if (g.craft_x >= e.x && g.craft_x <= e.x + ENEMY_W && r == 40 && room) {
            fire_shot(e.x, e.y, SHOT_ENEMY);
        }
    }
}

// Every shot of the pool against what it can hit: enemy shots against the
// plane, player shots against the enemies and the falling objects.
void resolve_shot_hits() {
    if (g.last_shot <= 0) return;
    const int last = last_index(g.shots, g.last_shot);
    for (int s = 0; s <= last; ++s) {
        Shot& shot = g.shots[static_cast<size_t>(s)];
        if (shot.kind == SHOT_ENEMY && g.energy != 0) {
            if (sprites_overlap(g.img_craft, g.craft_x, g.craft_y, PLANE2_W, PLANE2_H, g.img_bonus,
                                shot.x, shot.y, ENEMY_SHOT_W, ENEMY_SHOT_H)) {
                shot.kind = SHOT_FREE;
                g.energy = static_cast<int16_t>(g.energy - 30);
                stream_play(g.stream_fx);
            }
        } else if (shot.kind == SHOT_PLAYER) {
            player_shot_hits(shot);
        }
    }
}

// The level-2 wave sequence: ends the level after the fifth wave, builds the
// next wave when one is due, runs the current one and ends it when 21 of its
// 22 enemies are gone.
void run_waves() {
    if (g.wave_step > 5) {
        show_overlay(OVERLAY_LEVEL_DONE);
        g.level_done = 1;
    }
    if (g.level_done == 1) return;
    if (g.wave_step > g.wave_no) {
        build_formation(g.wave_step);
        clear_shots();
        g.last_shot = 0;
        g.wave_no = static_cast<int8_t>(g.wave_no + 1);
        // The old wave's falling objects are no longer counted or drawn.
        const int last_object = last_index(g.objects, g.object_count);
        for (int k = 0; k <= last_object; ++k) g.objects[static_cast<size_t>(k)].alive = OBJECT_UNCOUNTED;
        g.energy = static_cast<int16_t>(g.energy + 40);
        show_overlay(OVERLAY_GET_READY);
    }
    if (g.wave_step == g.wave_no) update_enemies(g.wave_no);
    int gone = 0;
    const int last = last_index(g.enemies, FORMATION_LAST);
    for (int i = 0; i <= last; ++i) {
        if (g.enemies[static_cast<size_t>(i)].state == ENEMY_GONE) ++gone;
    }
    // 21 or more: two enemies that finish exploding in the same frame still
    // end the wave.
    if (gone >= FORMATION_SIZE - 1) {
        g.wave_step = static_cast<int8_t>(g.wave_step + 1);
        show_overlay(OVERLAY_LEVEL_DONE);
    }
}

}  // namespace valmoren
