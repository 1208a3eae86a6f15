// runner.cpp -- the five levels in order: each level's set-up, its frame with
// the request handling, its end, the victory and the score log; run_game
// strings them together. Writes the per-level fields of g: the picture slots
// and entity arrays; energy, score, request, level, level_done, rockets,
// controls_mouse; player_x, player_y, craft_x, craft_y, craft2_x, craft2_y,
// vel_x, vel_y, aim_dx, aim_dy, heading, thrust, ship_accel; object_count,
// last_spawned, fall_speed, rocks_left, rock_count, wave_no, wave_step;
// level_time, tick_mark; the stream slots.
#include <cstdio>
#include <ctime>

#include "audio/sound.h"
#include "flow/flow.h"
#include "flow/runner.h"
#include "frontend/frontend.h"
#include "levels/levels.h"
#include "platform/input.h"
#include "platform/recording.h"
#include "platform/screen.h"
#include "platform/system.h"
#include "platform/textfile.h"
#include "play/play.h"
#include "state/game_state.h"

namespace valmoren {

namespace {

// Streams are opened only with the music on (the stream layer checks again).
void open_stream(StreamHandle& slot, const char* path) {
    if (g.music_on == 1) stream_open(slot, path);
}

// The energy left from the level before goes to the score; the new level
// starts with full energy.
void bank_energy() {
    g.score += g.energy;
    g.energy = 240;
}

void setup_level1() {
    load_slot(g.img_player, "img/ball.bmp");
    load_slot(g.img_craft, "img/samalet.bmp");
    load_slot(g.img_craft2, "img/samalet2.bmp");
    load_slot(g.img_backg, "img/backg.bmp");
    load_slot(g.img_backg2, "img/backg2.bmp");
    load_slot(g.img_enemy, "img/ship3.bmp");
    load_slot(g.img_rock, "img/stations.bmp");
    load_slot(g.img_rock2, "img/aster.bmp");
    load_slot(g.img_boom, "img/vzruv.bmp");
    load_slot(g.img_lives, "img/lives.bmp");
    load_slot(g.img_bonus, "img/time.bmp");
    load_slot(g.img_load, "img/load.bmp");
    load_slot(g.img_load2, "img/load2.bmp");

    g.energy = 240;
    g.rocks_left = 200;
    g.level_time = 101.0;
    g.score = 0;
    g.request = REQUEST_NONE;
    g.object_count = 5;
    g.last_spawned = -1;
    g.player_x = 320;
    g.player_y = 100;
    g.vel_x = 5;
    g.vel_y = 5;
    g.craft_x = 10;
    g.craft_y = 240;
    g.craft2_x = 590;
    g.craft2_y = 240;
    g.fall_speed = 6;
    g.level = 1;
    g.level_done = 0;  // every game starts unwon

    size_array(g.objects, g.object_count);
    size_array(g.split_requests, 4);
    size_array(g.ball_history, 6);
    size_array(g.shots, 0);
    size_array(g.enemies, 40);

    g.rock_count = 1;
    g.wave_no = 0;
    g.wave_step = 1;

    story_slideshow(0);
    story_slideshow(g.level);

    open_stream(g.stream_music, "sounds/m_fon.ogg");
    open_stream(g.stream_fx, "sounds/mus.ogg");

    g.tick_mark = whole_seconds();
    set_target_fps(60);
    show_overlay(OVERLAY_GET_READY);
}

void setup_level2() {
    load_slot(g.img_craft, "img/samol.bmp");
    load_slot(g.img_craft2, "img/pull.bmp");
    load_slot(g.img_player, "img/andr.bmp");
    load_slot(g.img_rock2, "img/aster2.bmp");
    load_slot(g.img_rock, "img/aster.bmp");
    load_slot(g.img_enemy, "img/ship2.bmp");
    load_slot(g.img_bonus, "img/pull2.bmp");
    empty_image(g.img_lives);

    size_array(g.objects, g.object_count + 10);
    size_array(g.shots, 210);

    g.fall_speed = 10;
    g.level = 2;
    g.craft_x = 300;
    g.craft_y = 436;
    bank_energy();

    story_slideshow(g.level);

    open_stream(g.stream_music, "sounds/m_fon2.ogg");
    open_stream(g.stream_fx, "sounds/boom.wav");
}

void setup_level3() {
    load_slot(g.img_rock, "img/aster.bmp");
    load_slot(g.img_rock2, "img/aster2.bmp");
    load_slot(g.img_enemy, "img/oskolki.bmp");
    load_slot(g.img_bonus, "img/time.bmp");
    empty_image(g.img_lives);
    empty_image(g.img_craft);
    empty_image(g.img_craft2);
    size_array(g.shots, 0);

    g.object_count = 10;
    size_array(g.objects, g.object_count);

    g.rocks_left = 0;
    bank_energy();
    g.fall_speed = 0;
    g.level = 3;
    g.player_x = 320;
    g.player_y = 240;
    g.thrust = 0.0;
    empty_image(g.img_player);  // the ship's pictures come from the flight routines
    g.ship_accel = 0.04;
    g.aim_dx = g.vel_x;
    g.aim_dy = g.vel_y;
    g.level_done = 0;

    story_slideshow(g.level);

    open_stream(g.stream_fx, "sounds/boom.wav");
    open_stream(g.stream_fx2, "sounds/mus.ogg");
    open_stream(g.stream_music, "sounds/m_fon3.ogg");
}

void setup_level4() {
    load_slot(g.img_craft, "img/kosm.bmp");
    load_slot(g.img_player, "img/oskolki.bmp");
    load_slot(g.img_craft2, "img/oskolki2.bmp");
    load_slot(g.img_bonus, "img/time.bmp");
    load_slot(g.img_boom, "img/vzruv.bmp");
    load_slot(g.img_rock2, "img/aster2.bmp");
    load_slot(g.img_rock, "img/aster.bmp");
    empty_image(g.img_enemy);
    empty_image(g.img_lives);
    size_array(g.shots, 0);

    g.object_count = 20;
    size_array(g.objects, g.object_count);

    g.fall_speed = 8;
    bank_energy();
    g.level = 4;
    g.level_time = 0.0;
    g.craft_x = 600;
    g.craft_y = 446;
    g.player_x = 100;
    g.player_y = 0;
    g.vel_y = 1;
    g.rockets = 10;
    g.level_done = 0;
    g.heading = 0.0;

    story_slideshow(g.level);

    open_stream(g.stream_fx2, "sounds/mus.ogg");
    open_stream(g.stream_fx, "sounds/boom.wav");
    open_stream(g.stream_music, "sounds/m_fon4.ogg");

    show_overlay(OVERLAY_GET_READY);
    new_descent();
}

void setup_level5() {
    load_slot(g.img_craft, "img/planets.bmp");
    load_slot(g.img_player, "img/target.bmp");
    load_slot(g.img_rock, "img/andr2.bmp");
    load_slot(g.img_rock2, "img/aster.bmp");
    load_slot(g.img_enemy, "img/racet.bmp");
    load_slot(g.img_lives, "img/stations.bmp");
    load_slot(g.img_bonus, "img/fac.bmp");

    g.level_done = 0;
    g.level = 5;
    bank_energy();
    g.fall_speed = 6;
    g.object_count = 25;
    g.controls_mouse = 1;
    size_array(g.objects, g.object_count);
    g.level_time = 20.0;
    g.craft_x = 0;
    g.craft_y = 0;

    story_slideshow(g.level);

    open_stream(g.stream_fx2, "sounds/boom2.wav");
    open_stream(g.stream_fx, "sounds/boom.wav");
    open_stream(g.stream_music, "sounds/m_fon5.ogg");

    // The first phase counts from here, whatever the story slide took.
    g.tick_mark = whole_seconds();
    show_overlay(OVERLAY_GET_READY);
}

// The end of every frame: music kept alive, game over asked, requests
// honoured at once (a restart or a leave skips the rest of the frame). A level
// left by a request is not won, even when its win came in the same frame (the
// player left during the level-done picture, or lost the last energy after it).
FrameOutcome frame_requests(bool game_over) {
    if (game_over) show_overlay(OVERLAY_GAME_OVER);
    if (g.request == REQUEST_RESTART) {
        g.level_done = 0;
        return RESTART_GAME;
    }
    if (g.request == REQUEST_LEAVE) {
        g.level_done = 0;
        sound_shutdown();
        return LEAVE_TO_MENU;
    }
    return LEVEL_GOES_ON;
}

FrameOutcome frame_shown() {
    frame_limit();
    show_frame();
    frame_end();
    return g.level_done != 0 ? LEVEL_WON : LEVEL_GOES_ON;
}

FrameOutcome frame_level1() {
    clear();
    frame_begin();
    wait_retrace();
    draw_hud();
    run_level_clock();
    draw_background(BACKGROUND_DOWN);
    update_objects();
    draw_energy_bar();
    draw_player_sprites();
    update_ball();
    read_controls();
    stream_play(g.stream_music);
    if (FrameOutcome r = frame_requests(g.energy < 1); r != LEVEL_GOES_ON) return r;
    return frame_shown();
}

FrameOutcome frame_level2() {
    clear();
    frame_begin();
    draw_background(BACKGROUND_DOWN);
    draw_player_sprites();
    move_shots();
    update_objects();
    run_waves();
    shots_available();
    update_ball();
    resolve_shot_hits();
    draw_energy_bar();
    draw_hud();
    read_controls();
    stream_play(g.stream_music);
    if (FrameOutcome r = frame_requests(g.energy < 1); r != LEVEL_GOES_ON) return r;
    wait_retrace();
    return frame_shown();
}

FrameOutcome frame_level3() {
    clear();
    frame_begin();
    g.player_x += 1;
    if (g.rocks_left == 0) {
        start_debris_wave();
        if (g.rocks_left <= 10) show_overlay(OVERLAY_GET_READY);
        if (g.level_done == 1) {
            // The winning wave start is never shown.
            clear();
            return LEVEL_WON;
        }
    }
    stream_play(g.stream_music);
    draw_background(BACKGROUND_RIGHT);
    fly_ship();
    update_hazards();
    update_enemies(0);
    wave_allows_spawn();
    draw_energy_bar();
    draw_hud();
    read_controls();
    if (FrameOutcome r = frame_requests(g.energy < 1); r != LEVEL_GOES_ON) return r;
    wait_retrace();
    return frame_shown();
}

FrameOutcome frame_level4() {
    clear();
    frame_begin();
    draw_background(BACKGROUND_RIGHT);
    draw_player_sprites();
    update_drifters();
    draw_energy_bar();
    draw_hud();
    wave_allows_spawn();
    read_controls();
    check_landing();
    stream_play(g.stream_music);
    // Lost also when the landing pad has crawled off to the left.
    if (FrameOutcome r = frame_requests(g.craft_x < -195 || g.energy < 1); r != LEVEL_GOES_ON)
        return r;
    wait_retrace();
    return frame_shown();
}

FrameOutcome frame_level5() {
    clear();
    frame_begin();
    if (g.craft_x < 640) {
        // The station picture slides in from the left.
        put(g.craft_x, g.craft_y, g.img_lives);
        g.craft_x += 1;
    }
    draw_background(BACKGROUND_RIGHT);
    put(0, 392, g.img_craft);
    update_objects();
    draw_player_sprites();
    draw_hud();
    draw_energy_bar();
    wave_allows_spawn();
    read_controls();
    stream_play(g.stream_music);
    if (FrameOutcome r = frame_requests(g.energy < 1); r != LEVEL_GOES_ON) return r;
    wait_retrace();
    return frame_shown();
}

}  // namespace

void level_setup(int level) {
    switch (level) {
        case 2: setup_level2(); break;
        case 3: setup_level3(); break;
        case 4: setup_level4(); break;
        case 5: setup_level5(); break;
        default: setup_level1(); break;
    }
}

FrameOutcome level_frame() {
    switch (g.level) {
        case 1: return frame_level1();
        case 2: return frame_level2();
        case 3: return frame_level3();
        case 4: return frame_level4();
        case 5: return frame_level5();
        default: return RESTART_GAME;  // no such level: start the game again
    }
}

void level_end() {
    switch (g.level) {
        case 1:
            stream_stop(g.stream_fx);
            stream_stop(g.stream_music);
            g.level_done = 0;
            break;
        case 2:
            stream_stop(g.stream_fx);
            stream_stop(g.stream_music);
            break;
        case 3:
        case 4:
            stream_stop(g.stream_fx);
            stream_stop(g.stream_fx2);
            stream_stop(g.stream_music);
            break;
        case 5:
            // The level-5 music plays on under the victory pictures.
            stream_stop(g.stream_fx);
            stream_stop(g.stream_fx2);
            break;
        default:
            break;
    }
}

void append_score_log() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[32];
    std::snprintf(date, sizeof date, "%02d-%02d-%04d", local.tm_mon + 1, local.tm_mday,
                  local.tm_year + 1900);

    const int n = free_file_number();
    open_file("score.dat", FILE_APPEND, n);
    write_text(n, date, true);
    write_number(n, g.score, true);
    write_text(n, "***", true);
    close_file(n);
}

void victory() {
    level_end();
    clear();
    load_slot(g.img_enemy, "img/we_victory.bmp");
    load_slot(g.img_rock, "img/img_end.bmp");
    draw_background(BACKGROUND_STILL);
    put(150, 50, g.img_enemy);
    put(250, 250, g.img_rock);
    show_frame();
    wait(-1);
    wait(-1);
    append_score_log();
    recording_game_ended(true);
    end_program(0);
}

// One game: level 1 to the victory. A restart goes round the outer loop again
// and a leave returns, so neither nests calls however often it happens.
void run_game() {
    for (;;) {
        recording_game_started();
        level_setup(1);
        for (;;) {
            const FrameOutcome outcome = level_frame();
            if (outcome == RESTART_GAME || outcome == LEAVE_TO_MENU) recording_game_ended(false);
            if (outcome == RESTART_GAME) break;
            if (outcome == LEAVE_TO_MENU) return;
            if (outcome == LEVEL_WON) {
                if (g.level >= 5) victory();
                const int next = g.level + 1;
                level_end();
                level_setup(next);
            }
        }
    }
}

}  // namespace valmoren
