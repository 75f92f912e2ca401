#include "reports/summary_page.h"

#include "textio/record_writer.h"
#include "textio/text_unit.h"

namespace linesynth {

void append_summary_record(const std::string& path, float integral, Output output) {
    TextUnit page;
    open_output(page, path, output, Access::append);
    begin_record(page);
    put_text(page, "THE INTEGRAL OF <B>ALL SETS</B> IS=");
    put_real(page, integral);
    end_record(page);
    close_file(page);
}

}  // namespace linesynth
