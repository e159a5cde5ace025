// The Audio table is wholly native: Audio.Sound, Audio.Group and Audio.Channel.
// Volumes run from 0.0 to 1.0 and multiply down the groups; speeds are frequency ratios.
// Fades and delayed stops count frames of the frame cycle.
