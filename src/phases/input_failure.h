// What both passes say when the input cannot be read.
#pragma once

// Says that the input could not be read and why; returns status_read_failed.
int input_read_failed(int err);
