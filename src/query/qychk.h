// Query checks: the small conversations with the interpreter that other
// parts need (is a text a valid expression, how many rows has a table, do
// privileges exist, ...).  Every statement goes through qymgr_qy_query.
#pragma once

// Whether the database holds privileges on the table.
int qychk_privs_exist(const char *table);
