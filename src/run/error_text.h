// The words a message gives for an error number of the host calls.
#pragma once

// The text of an error number from the platform calls, in the same words on
// every host (error_text in host_files.h), or of a reason of the platform
// layer that is not an errno value.
const char* reason_text(int err);
