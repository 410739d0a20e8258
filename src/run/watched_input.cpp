#include "run/watched_input.h"

namespace tessera {

void watch_input(watched_input& in) {
  in.copy = duplicate_stream(in.stream);
  in.watched = in.copy != nullptr && stamp_of_stream(in.copy, in.at_opening);
}

bool input_unchanged(const watched_input& in) {
  if (!in.watched) return true;
  file_stamp through_stream;
  file_stamp at_path;
  return stamp_of_stream(in.copy, through_stream) && same_stamp(through_stream, in.at_opening) &&
         stamp_of_path(in.host, at_path) && same_stamp(at_path, in.at_opening);
}

}  // namespace tessera
