// Text variables against the installed interpreter: expansion, numbers,
// dates through TD, the per-graph cache, named values, the error filter,
// and evaluations that must send nothing.

#include "gokit.h"

#include "dlmess.h"
#include "gotvar.h"
#include "qycompat.h"
#include "vxdate.h"
#include "vxtest.h"

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

using gokit::Graph;

std::vector<std::string> &sent()
{
    static std::vector<std::string> s;
    return s;
}
// Evaluated from inside the interpreter call (a redraw while a query waits).
const char *nested_text = nullptr;
std::string nested_result;
int nested_ok = -1;

int watching_querym(const char *text, uint32_t modes)
{
    sent().push_back(text);
    if (nested_text) {
        static char out[GOTVAR_EXPANDED + 1];
        const char *err = nullptr;
        const char *t = nested_text;
        nested_text = nullptr;
        nested_ok = gotvar_go_expand_text_vars(nullptr, t, out, &err);
        nested_result = out;
    }
    return querym(text, modes);
}

class TextVariables : public ::testing::Test {
protected:
    AppData resources{};
    void SetUp() override
    {
        setenv("DOZ_CLIENT_DIR", vxtest::install_dir().c_str(), 1);
        setenv("DOZ_SERVER_DIR", (vxtest::install_dir() + "/server").c_str(), 1);
        unsetenv("QYINT");
        resources.catd = NL_NO_CATALOGUE;
        resources.user_name = const_cast<char *>("TESTER");
        resources.server_name = const_cast<char *>("");
        resources.buffer_size = resources.queryBufferSize = 100000;
        qymgr_qy_set_ui(nullptr);
        qymgr_qy_set_querym(watching_querym);
        qymgr_qy_init(&resources, 0, 0, 0, nullptr, 0, 0);
        ASSERT_GE(qymgr_qy_connection(), 0);
        dsmgr_ds_init(nullptr, nullptr);
        gotvar_go_clear_expression_cache(nullptr);
        gokit::record_boxes();
        dlmess_reset_error_suppression();
        skip_text_eval_errors = 0;
        sent().clear();
    }
    void TearDown() override
    {
        qymgr_qy_term();
        qymgr_qy_set_querym(nullptr);
        go_set_display_hooks(nullptr);
        gotvar_go_clear_expression_cache(nullptr);
    }

    static std::string expand(GoGraph *g, const char *text, int *ok = nullptr, std::string *error = nullptr)
    {
        static char out[GOTVAR_EXPANDED + 1];
        const char *err = nullptr;
        const int r = gotvar_go_expand_text_vars(g, text, out, &err);
        if (ok)
            *ok = r;
        if (error)
            *error = err ? err : "(none)";
        return out;
    }
};

TEST_F(TextVariables, ExpressionsAreEvaluatedOnceAndCached)
{
    Graph g;
    int ok = 0;
    EXPECT_EQ(expand(&g, "Total: [ 1 + 41 ]", &ok), "Total: 42");
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(sent(), (std::vector<std::string>{"PRINT 1 + 41"}));
    sent().clear();
    EXPECT_EQ(expand(&g, "Again: [1 + 41]"), "Again: 42") << "blanks don't make another entry";
    EXPECT_TRUE(sent().empty());
    double v = 0;
    EXPECT_EQ(gotvar_go_eval_real(&g, "1 + 41", &v), 1);
    EXPECT_EQ(v, 42.0);
    EXPECT_EQ(expand(&g, "[2.5 * 2] and ['ab' + 'cd']"), "5 and abcd");
    EXPECT_EQ(dsmgr_ds_current_exists(), 0) << "no dataset from an evaluation";
    EXPECT_EQ(dsmgr_ds_current(), 0);
}

TEST_F(TextVariables, EscapesUnbalancedAndNestedBrackets)
{
    Graph g;
    EXPECT_EQ(expand(&g, "a \\[1+1] and [2+2]"), "a [1+1] and [2+2]");
    EXPECT_EQ(expand(&g, "end\\"), "end\\") << "a last backslash stays";
    EXPECT_EQ(expand(&g, "x [1+1] [2+3"), "x 2 [2+3");
    EXPECT_TRUE(sent().size() == 1u && sent()[0] == "PRINT 1+1");
    sent().clear();
    int ok = 1;
    std::string failed;
    expand(&g, "[ elem(array(5,6,7), 2)[x] ]", &ok, &failed);
    ASSERT_EQ(sent().size(), 1u);
    EXPECT_EQ(sent()[0], "PRINT ELEM(ARRAY(5,6,7), 2)[X]") << "inner brackets belong to the expression";
}

TEST_F(TextVariables, AFailedQueryLeavesNothingAndIsReported)
{
    Graph g;
    int ok = 1;
    std::string failed;
    EXPECT_EQ(expand(&g, "a[1 +]b", &ok, &failed), "ab");
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(failed, "1 +");
    goprop_eval_text(&g, "Sum [1 +]");
    ASSERT_EQ(gokit::boxes().size(), 1u);
    EXPECT_EQ(gokit::boxes()[0], "67/3: Could not evaluate the expression in \"1 +\".");
    // A limit that is no number: message 4 and no value.
    goprop_go_set_property(&g, GP_YMAXIMUM, 0, "1 +");
    EXPECT_EQ(goprop_go_property(&g, GP_YMAXIMUM, 0, 1), nullptr);
    ASSERT_EQ(gokit::boxes().size(), 2u);
    EXPECT_EQ(gokit::boxes()[1].substr(0, 5), "67/4:");
}

TEST_F(TextVariables, WithoutADatabaseAnUnknownNameIsText)
{
    Graph g;
    int ok = 0;
    EXPECT_EQ(expand(&g, "Name: [nosuchname]", &ok), "Name: NOSUCHNAME");
    EXPECT_EQ(ok, 1);
    double v = 0;
    EXPECT_EQ(gotvar_go_eval_real(&g, "nosuchname2", &v), 0);
    EXPECT_TRUE(gokit::boxes().empty());
}

TEST_F(TextVariables, NamedValuesAnswerWithoutAQuery)
{
    Graph g, other;
    gotvar_go_set_name_value(&g, " %mean ", "3.5");
    EXPECT_EQ(expand(&g, "Mean [%MEAN]"), "Mean 3.5");
    double v = 0;
    EXPECT_EQ(gotvar_go_eval_real(&g, "%Mean", &v), 1);
    EXPECT_EQ(v, 3.5);
    EXPECT_TRUE(sent().empty());
    gotvar_go_set_name_value(&g, "%MEAN", "4");
    EXPECT_EQ(expand(&g, "[%mean]"), "4") << "replaced";
    gotvar_go_clear_expression_cache(nullptr);
    EXPECT_EQ(expand(&g, "[%mean]"), "4") << "the cache's clearing keeps named values";
    EXPECT_TRUE(sent().empty());
    expand(&other, "[%mean]");
    EXPECT_EQ(sent().size(), 1u) << "another graph's names are its own";
}

TEST_F(TextVariables, ClearingOneGraphsCacheKeepsAnothers)
{
    Graph a, b;
    expand(&a, "[10 * 2]");
    expand(&b, "[10 * 3]");
    ASSERT_EQ(sent().size(), 2u);
    gotvar_go_clear_expression_cache(&a);
    sent().clear();
    EXPECT_EQ(expand(&b, "[10 * 3]"), "30");
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(expand(&a, "[10 * 2]"), "20");
    EXPECT_EQ(sent().size(), 1u);
}

TEST_F(TextVariables, OverflowGivesAsterisks)
{
    Graph g;
    gotvar_go_set_name_value(&g, "%BIG", std::string(60, 'b').c_str());
    std::string text;
    for (int i = 0; i < 70; i++)
        text += "[%BIG]";
    int ok = 1;
    std::string failed;
    const std::string out = expand(&g, text.c_str(), &ok, &failed);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(out, std::string(GOTVAR_EXPANDED, '*'));
    EXPECT_EQ(failed, "(none)");
    const std::string long_expression = "[" + std::string(GOTVAR_EXPRESSION + 1, '1') + "]";
    expand(&g, long_expression.c_str(), &ok);
    EXPECT_EQ(ok, 0) << "too long to send";
    EXPECT_TRUE(sent().empty());
}

TEST_F(TextVariables, AnEvaluationInsideAWaitSendsNothing)
{
    Graph g;
    nested_text = "inner [3 + 4]";
    EXPECT_EQ(expand(&g, "outer [1 + 1]"), "outer 2");
    EXPECT_EQ(nested_ok, 1);
    EXPECT_EQ(nested_result, "inner 3 + 4") << "the expression as text";
    EXPECT_EQ(sent(), (std::vector<std::string>{"PRINT 1 + 1"}));
    EXPECT_TRUE(gokit::boxes().empty());
}

TEST_F(TextVariables, DateLimitsMatchTheReadersDates)
{
    // 1 July 2024: summer time in the zone below.
    qymgr_qy_query("CREATE VAR JULY UNIXDATE(1719792000)", QY_NOWAIT, QY_SIMPLE, QY_WARN);
    qymgr_qy_query("CREATE VAR NOON UNIXTIME(45000)", QY_NOWAIT, QY_SIMPLE, QY_WARN);
    const char *old_tz = getenv("TZ");
    const std::string saved = old_tz ? old_tz : "";
    for (const char *tz : {"UTC0", "GMT0BST,M3.5.0/1,M10.5.0"}) {
        SCOPED_TRACE(tz);
        setenv("TZ", tz, 1);
        tzset();
        Graph g;
        goprop_go_set_property(&g, GP_XMAXIMUM, 0, "july");
        sent().clear();
        const double *v = static_cast<const double *>(goprop_go_property(&g, GP_XMAXIMUM, 0, 1));
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(sent(), (std::vector<std::string>{"PRINT JULY", "PRINT TD(JULY)"}));
        const int d = gokit::load({gokit::col(DOZ_T_DATE), gokit::col(DOZ_T_REAL)},
                                  {{gokit::ymd(2024, 7, 1), gokit::num(1)}}, 1);
        GoTuple t{};
        t.dataset = d;
        goprop_triple_reader(&t);
        ASSERT_NE(t.x, nullptr);
        EXPECT_EQ(*v, *t.x);
        EXPECT_EQ(*v, double(un_ctime(2024, 7, 1, 0, 0, 0, 2)));
        double n = 0;
        ASSERT_EQ(gotvar_go_eval_real(&g, "noon", &n), 1);
        EXPECT_EQ(n, double(un_ctime(1980, 2, 29, 12, 30, 0, 2)));
        gotvar_go_clear_expression_cache(nullptr);
    }
    if (old_tz)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

}  // namespace
