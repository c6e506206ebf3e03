#include "log/file_sink.h"

namespace tavik::log {

void FileSink::write_line(std::string_view line) { (void)file_.write(line); }

}  // namespace tavik::log
