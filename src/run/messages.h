// Every message the run gives besides its fixed dialogue and report entries:
// the refusals of answers, the notices on the input, and the failures. One
// table, so that the console, the report and the signal handler say the
// same thing in the same words. Each is a printf format; the names say what
// fills it.
#pragma once

namespace tessera {

// Refusals of an answer; the prompt is asked again.
namespace refusal {
constexpr const char* name_too_long = "That name is longer than 63 characters: please type a shorter one.";
constexpr const char* path_too_long = "That name makes a path longer than 127 characters: please type a shorter one.";
constexpr const char* forbidden_character =
    "That name holds a character that names cannot hold (< > : \" | ? * or a control character): "
    "please type another one.";
constexpr const char* device_name = "That name is the name of a device, not of a file: please type another one.";
constexpr const char* overwrites_input = "That name would overwrite the input file: please type another one.";
constexpr const char* pasted_path =
    "That is a full path: folders are named under C:\\images, and only the folder's name is typed.";
constexpr const char* pasted_path_named =  // the folder's name under C:\images
    "That is a full path: folders are named under C:\\images, and only the folder's name is typed (here %s).";
constexpr const char* another_name_of =  // the file's own name (a short name was typed)
    "That name is another name of %s, which this tool cannot write: please type another one.";
constexpr const char* decimal_comma = "%s is not a number: use a point for decimals.";  // the answer
constexpr const char* number_too_large = "%s is too large for a number: please type a smaller one.";  // the answer
constexpr const char* not_a_number = "That answer is not a number: please type a decimal number.";
constexpr const char* zone_too_wide =
    "That zone is too wide for any pixel size to give counts of at most 2147483647: please type the zone again.";
constexpr const char* pixel_zero = "A pixel size of 0 makes no raster: please type another one.";
constexpr const char* pixel_too_large_for_meters =
    "That pixel size is too large to count in meters: please type one between -2147483648 and 2147483647.";
constexpr const char* pixel_too_small =
    "That pixel size makes more than 2147483647 lines or columns: please type a larger one.";
}  // namespace refusal

// What the run says of its files and its input; each ends the run or tells
// how it ended.
namespace failure {
constexpr const char* no_file = "\n\tNo File %s \n";                     // the input path
constexpr const char* input_ended = "\n\tStandard input ended before an answer was read.\n";
constexpr const char* cannot_read = "\n\tCould not read %s : %s\n";      // the input path, the reason
constexpr const char* cannot_create = "\n\tCould not create %s : %s\n";  // a path, the reason
constexpr const char* cannot_create_lock = "\n\tCould not create the lock file of %s : %s\n";  // output, reason
constexpr const char* cannot_write = "\n\tCould not write %s : %s\n";    // a path, the reason
constexpr const char* in_use = "\n\t%s is in use by another run: nothing was changed.\n";  // the output path
constexpr const char* input_changed = "\n\tThe second reading of %s did not match the first.\n";  // input path
// The input path, what the file is, what to do.
constexpr const char* not_text = "\n\t%s is %s, not a text point file: %s.\n";
// The input path, the line of its first 0 byte.
constexpr const char* zero_byte =
    "\n\t%s holds a 0 byte at line %lld, before its first point: it is a binary file, not a text point file: "
    "export its points as text first (UTF-16 text needs its byte-order mark).\n";
constexpr const char* nothing_read = "\n\n\tNo point was read before the data stopped, so nothing is written.\n";
// After points were read, the data stopped at a decimal comma.
constexpr const char* decimal_commas =
    "\n\n\tThe file is written with decimal commas, which this tool does not read, so nothing is written.\n";
constexpr const char* unchanged = "\n\t%s is unchanged.\n";              // a final path
constexpr const char* removed_leftover =
    "\n\tRemoved 1 temporary file left by a killed run writing %s.\n";  // the output path
constexpr const char* removed_leftovers =
    "\n\tRemoved %d temporary files left by killed runs writing %s.\n";  // their count, the output path
constexpr const char* report_not_replaced =
    "\n\t%s holds the new points all the same; its report is the earlier one.\n";  // the output path
}  // namespace failure

// What the survey says of the input it read, on the console and in the
// report alike.
namespace notice {
// The line and the record where a point was cut short by the end of the data.
constexpr const char* stop_cut_short =
    "\n\n\tThe data stop at line %lld: record %lld is cut short; the records before it are used.";
// The line, the record, how many numbers it holds and "s" for more than one.
constexpr const char* stop_short_line =
    "\n\n\tThe data stop at line %lld, record %lld: the line holds %d number%s where a point needs three; the records "
    "before it are used.";
// The line, the record, the quoted text and the decimal-comma hint or "".
constexpr const char* stop_not_a_number =
    "\n\n\tThe data stop at line %lld, record %lld: \"%s\" is not a number%s; the records before it are used.";
// The line, the record (after the first) and the quoted text of a stop at a
// decimal comma; nothing of the file is used.
constexpr const char* stop_decimal_comma =
    "\n\n\tThe data stop at line %lld, record %lld: \"%s\" is not a number (use a point for decimals); the records "
    "before it are not used.";
// The line, the record, and the most a line may hold in MiB.
constexpr const char* stop_line_too_long =
    "\n\n\tThe data stop at line %lld, record %lld: the line is longer than %d MiB, far more than a point's line "
    "holds; the records before it are used.";
// The line of the byte 0x1A.
constexpr const char* control_z =
    "\n\n\tThe data end at line %lld with a byte 0x1A (an end-of-file mark): what follows it is not read.";
// The line and the count it gives; point_count_differs and "." follow.
constexpr const char* point_count = "\n\n\tLine %lld gives the number of points, %lld, and is not read as a point";
// The records read, and " was" or "s were".
constexpr const char* point_count_differs = "; %lld point%s read";
// The columns, and " separated by commas" (or semicolons, or vertical bars) or "".
constexpr const char* extra_columns =
    "\n\n\tThe lines hold %d columns%s: X, Y and Z are the first three; the others are written after them to the "
    "output.";
// The columns, and " separated by commas" (or semicolons, or vertical bars) or "".
constexpr const char* row_name_columns =
    "\n\n\tThe lines hold %d columns%s: the first holds row names, and X, Y and Z are the next three; the row names "
    "and the other columns are written after them to the output.";
// The columns, " separated by commas" (or semicolons, or vertical bars) or "", and the columns of X, Y and Z, from 1.
constexpr const char* named_columns =
    "\n\n\tThe lines hold %d columns%s: X, Y and Z are columns %d, %d and %d, as the header names them; the others "
    "are written after them to the output, in their order.";
// The line, the record, the columns it holds, "s" for more than one, and the columns X, Y and Z need.
constexpr const char* stop_short_columns =
    "\n\n\tThe data stop at line %lld, record %lld: the line holds %d column%s where X, Y and Z need %d; the "
    "records before it are used.";
// The axis the header names, the one it does not, and the names looked for.
constexpr const char* axis_not_named =
    "\n\n\tThe header names a column for %c but none for %c (%s), so the points cannot be read.";
// " separated by commas" (or semicolons, or vertical bars).
constexpr const char* three_columns = "\n\n\tThe lines hold 3 columns%s: X, Y and Z.";
// The count of skipped lines (1, or more) and the first one's line.
constexpr const char* skipped_one = "\n\n\t%lld line is a comment or repeats the header and is skipped: line %lld.";
constexpr const char* skipped_many =
    "\n\n\t%lld lines are comments or repeat the header and are skipped, the first at line %lld.";
// The count of lines without a value (1, or more) and the first one's line.
constexpr const char* nodata_one = "\n\n\t%lld line has nan for X, Y or Z (no value) and is skipped: line %lld.";
constexpr const char* nodata_many =
    "\n\n\t%lld lines have nan for X, Y or Z (no value) and are skipped, the first at line %lld.";
// The header's line and its quoted text, on the console and in the report.
constexpr const char* header_shown = "\tLine %lld is not a point and is skipped as a header: %s\n";
constexpr const char* header_reported = "\n\n\tLine %lld is not a point and is skipped as a header: %s ";
// The header lines after the first (1, or more) and the first one's line; shown after a tab, on the console
// and in the report, as the header is.
constexpr const char* more_header_one = "1 more line before the first point is not a point and is skipped as a header: "
                                        "line %lld.";
constexpr const char* more_headers =
    "%lld more lines before the first point are not points and are skipped as headers, the first at line %lld.";
}  // namespace notice

// What a run whose files were published says of the output, on standard
// error: one line a sentence. Nothing is said there of a run that publishes
// nothing.
namespace said {
// The points written (more than one), the records read, the output path.
constexpr const char* points_written = "%lld points of %lld written to %s\n";
constexpr const char* one_point_written = "1 point of %lld written to %s\n";  // the records read, the output path
// The records read (more than one) and the output path.
constexpr const char* none_in_zone = "None of the %lld points read lies in the zone: %s holds no point\n";
// The output path.
constexpr const char* one_not_in_zone = "The one point read lies outside the zone: %s holds no point\n";
constexpr const char* none_read = "No point was read from the input: %s holds no point\n";
// The most decimals typed in the input, the decimals of the output.
constexpr const char* decimals_rounded =
    "The input has up to %lld decimals in X, Y or Z; the output writes %d, rounded.\n";
}  // namespace said

}  // namespace tessera
