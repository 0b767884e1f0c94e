// The default connection: the rest of the program calls these, which
// forward to the doz_ functions with the one default connection id.
#pragma once

#include "qysched.h"

void query_host(const char *host);
int query_init(const char *user, uint32_t start_word);
int qquery_attach(pid_t pid, int shmid, int msqid, uint32_t start_word, void *copy_area, size_t length);
int query_detach();
int query_term();
// Creates the segment when *address is still null, then announces `rows`.
int query_buffer(void **address, int rows, int size);
int query(const char *text);
int querym(const char *text, uint32_t modes);
// Texts ended by a null pointer.
int Query(const char *text, ...);
int query_mode(const char *name, int on);
int query_set_modes(uint32_t modes);
int query_dumpinfo(int kind, char *path, size_t path_size);
int query_authorise(int right);
int query_error();
int query_clear_error();
int query_status(int *code, int *code2, int *code3, int *rows, int *fifth);
int query_busy();
int query_wait();
int query_mess(char *text1, char *text2, char *text3);
int query_status_mess(char *text);
int query_abort();
int query_on_eob(void (*proc)(int rows));
int query_set_done_proc(DozDoneProc proc);
int query_set_error_proc(DozErrorProc proc);
int set_qstatus(const int status[6]);
int get_qstatus(int status[6]);
void *get_qbuffer();
void set_qbufferaddr(uintptr_t value);
int get_qbuffersize();
uint32_t get_data_bytes();
int query_get_server_details(pid_t *pid, int *msqid, int *shmid);
uint32_t query_current_modes();
void query_death(int on);
int query_connection();
