#include "run/error_text.h"

#include "host/host_files.h"

const char* reason_text(int err) {
  switch (err) {
    case not_a_regular_file:
      return "not a regular file";
    case in_use_by_another_program:
      return "in use by another program";
    case marked_immutable:
      return "the file is marked immutable";
    case marked_append_only:
      return "the file is marked append-only";
    case folder_marked_immutable:
      return "its folder is marked immutable";
    case folder_marked_append_only:
      return "its folder is marked append-only";
    case owned_by_another_user:
      return "the file belongs to another user, in a shared folder (sticky bit)";
    case replaced_during_the_run:
      return "its temporary file was replaced during the run";
    case folder_moved:
      return "its folder was moved or removed during the run";
    default:
      return error_text(err);
  }
}
