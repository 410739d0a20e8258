// The words a message gives for an error number of the host calls.
#pragma once

// The text of an error number from the platform calls.
const char* reason_text(int err);
