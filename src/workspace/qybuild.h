// Query building: the query objects selected on the workspace become the
// DOZ statements a Run executes, for the chosen target.
#pragma once

// Query target kinds.
enum QyTargetKind : int { QY_TARGET_DISPLAY = 1, QY_TARGET_RESULT = 2, QY_TARGET_TABLE = 3, QY_TARGET_PROGRAM = 4 };

struct QyTarget {
    int kind;
    char table[9];      // the named table (kind 3)
    char program[256];  // the program command (kind 4)
    char result[9];     // the result table's name
    int overwrite;      // kind 3
    int unique;         // kind 2
};

// 1 with a new array of statement texts and their count; 0 (nothing
// built) for an empty selection, a refused confirmation or a statement
// that would be too long.
int qybuild_qy_build_query(char ***statements, int *count, const QyTarget *target);
void qy_free_query(char **statements, int count);
// The aggregate word a statistic of `function` (1-6) is built with, or
// none (function 7 collects an array).
const char *qybuild_aggregate_word(int function);
