// The road kit of the editors' road tests: the query window as start-up
// builds it, on a copy of the demo database opened as its owner BRASK with
// the installed interpreter; real input through XTest on the canvas (a
// column clicked, a tool dragged onto an object); error boxes answered from
// inside their own loops; the table view's rows read back from PRIMARY and
// the rows of a statement typed in the DOZ dialog; pictures of the screen.
// The tests that use it run alone on their display (SERIAL).
#pragma once

#include "dltestkit.h"  // first: gtest before the X headers

#include "dlmain.h"
#include "wsobj.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace road {

// Starts the program's windows and interpreter and opens a fresh copy of
// DEMO (a database named `prefix` and four hex digits of the process id).
// Sets the C locale: there the table view's drag selects.
void start_program(const char *prefix);
// Closes and drops the copy and ends the interpreter.
void stop_program();
// The copy's name.
const std::string &database();

// A column object of the canvas, or none.
QueryObject *column(const char *table, const char *name);
// A click on a point of the object that no expression or condition
// covers (scrolled into view first).
void click_object(QueryObject *o);
// A tool (by widget name) pressed, dragged onto the object and let go; with
// `lower_right` near the object's lower right corner.
void drop_tool(const char *tool_name, QueryObject *o, bool lower_right = false);

DialogRecord *editor(int id);
bool shown(int id);
// A widget of dialog `id` by name (a failure when it has none).
Widget named(int id, const char *name);
// Presses a standard button of dialog `id` through a real click.
void click_box(int id, unsigned char which);

// Runs `action`, during which error boxes (dialog 0) show and wait in
// their own loops, answers each with OK and returns their texts in order.
std::vector<std::string> answered_errors(const std::function<void()> &action);
// OK clicked on dialog `id`: the texts of the error boxes it brought.
std::vector<std::string> refused_ok(int id);
// A text of set `set` of the object layer's catalogue.
std::string object_message(int number, int set = 62);
int count(QueryObject *list);

// Waits until a dataset that came after `changes` is on the screen.
int wait_for_new_dataset(uint64_t changes);
// Drags over the table view from its first line to its last visible one
// and reads what the program then offers as PRIMARY.
std::string table_rows_from_primary();
// Run pressed: the rows the canvas's query shows (its row count in *rows).
std::string run_canvas(int *rows = nullptr);
// A statement typed in the DOZ dialog (Return): the rows it shows (its
// row count in *rows).
std::string typed_rows(const std::string &statement, int *rows = nullptr);

// The screen around the given widgets' shells, saved as a PNG named `file`
// into $VX_IMAGE_DIR (a scratch folder, removed again, without it) and
// read back.
void save_picture(const char *file, std::initializer_list<Widget> widgets);

}  // namespace road
