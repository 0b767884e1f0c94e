// Fuzz target: runs statements through one session.  Each line of the
// input is a statement; the first byte chooses evaluation or NOEVAL.  Any
// statement must end with success or with an error code and its text,
// never with a crash, a hang or a failure without a code.

#include "dozeng.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    unsigned mode = (data[0] & 1) ? doz::MODE_NOEVAL : 0;
    std::string input(reinterpret_cast<const char *>(data) + 1, size - 1);
    doz::Session session;
    doz::NullSink sink;
    size_t start = 0;
    while (start <= input.size()) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos)
            end = input.size();
        doz::Status st = session.execute(std::string_view(input).substr(start, end - start), mode, sink);
        if (st.error) {
            bool coded = st.query || st.database || st.filer;
            bool texted = !st.query_text.empty() || !st.database_text.empty() || !st.filer_text.empty();
            if (!coded || !texted)
                abort();
        } else if (st.query || st.database || st.filer) {
            abort();
        }
        start = end + 1;
    }
    return 0;
}
