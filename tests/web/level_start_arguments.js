// The browser test's level-5 program: level 5, its state file, the energy
// kept up, and the victory with the score log once the level is won (see
// tests/xvfb/level_start.cpp).
Module['arguments'] = ['5', '/tmp/level.txt', 'keep-energy', 'victory'];
