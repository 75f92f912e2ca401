#include "reports/summary_page.h"

#include "textio/record_writer.h"
#include "textio/text_unit.h"

namespace linesynth {

void append_summary_record(const std::string& path, float integral) {
    TextUnit page;
    open_file(page, path, Access::append);
    begin_record(page);
    put_text(page, "THE INTEGRAL OF <B>ALL SETS</B> IS=");
    put_real(page, integral);
    end_record(page);
    close_file(page);
}

}  // namespace linesynth
