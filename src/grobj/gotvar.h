// Text variables: bracketed expressions of the query language in titles,
// legend and annotation texts and in numeric limit texts, evaluated by the
// query interpreter ("PRINT ...") and cached per graph; named values given
// to a graph ahead of time answer expressions of that name unqueried.
#pragma once

struct GoGraph;

inline constexpr int GOTVAR_EXPANDED = 4096;    // characters of an expanded text
inline constexpr int GOTVAR_EXPRESSION = 1024;  // characters of one expression

// Expands `text` into `out` (GOTVAR_EXPANDED + 1 bytes).  1 on success; 0
// when an expression failed (*error_text then names it) or the output
// overflowed (the buffer is then all asterisks, *error_text null).
int gotvar_go_expand_text_vars(GoGraph *graph, const char *text, char *out, const char **error_text);
// The text as a number: 1 and *value on success.
int gotvar_go_eval_real(GoGraph *graph, const char *text, double *value);
void gotvar_go_set_name_value(GoGraph *graph, const char *name, const char *value);
// Forgets the evaluated values of the graph (every graph's when null); named
// values stay.
void gotvar_go_clear_expression_cache(GoGraph *graph);
// 1 while an evaluation waits for the interpreter: an evaluation started
// meanwhile (a redraw from inside the wait) queries nothing and reports
// nothing.
int gotvar_go_waiting();
// 1 when the last evaluation was answered without a query because another
// one was waiting.
int gotvar_go_last_was_nested();
