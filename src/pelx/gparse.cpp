// The configuration language: tokens, the parse tree, includes,
// environment references, the keyword hash table and revision stamps.

#include "pelx.h"
#include "pelx_msgs.h"
#include "vxutil.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

// Included files may include others; past this depth the include fails.
constexpr int MAX_INCLUDE_DEPTH = 16;
// Blocks nest at most this deep, so that a malformed file cannot exhaust
// the stack.
constexpr int MAX_BLOCK_DEPTH = 64;

bool is_space(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

// ---- tokens --------------------------------------------------------------

char *glex_GReadToken(FILE *file, char *buffer, int limit, int *line)
{
    enum { BETWEEN, WORD, QUOTED } state = BETWEEN;
    int len = 0;
    auto put = [&](int c) {
        if (len >= limit - 1 || len >= 254)
            return false;
        buffer[len++] = static_cast<char>(c);
        return true;
    };
    for (;;) {
        int c = fgetc(file);
        if (c == EOF)
            return nullptr;
        if (c == '\n')
            ++*line;
        if (state == QUOTED) {
            if (c == '"') {
                buffer[len] = '\0';
                return buffer;
            }
            if (!put(c))
                return nullptr;
            continue;
        }
        if (c == '/') {
            int n = fgetc(file);
            while (n == '/')
                n = fgetc(file);
            if (n == '*') {
                // A comment: skipped up to "*/", without ending a word.
                int prev = 0;
                for (;;) {
                    int k = fgetc(file);
                    if (k == EOF)
                        return nullptr;
                    if (k == '\n')
                        ++*line;
                    if (prev == '*' && k == '/')
                        break;
                    prev = k;
                }
                continue;
            }
            if (n != EOF)
                ungetc(n, file);
            state = WORD;
            if (!put('/'))
                return nullptr;
            continue;
        }
        if (is_space(c)) {
            if (state == WORD) {
                buffer[len] = '\0';
                return buffer;
            }
            continue;
        }
        if (c == ':' || c == '{' || c == '}' || c == '"') {
            if (state == WORD) {
                ungetc(c, file);
                buffer[len] = '\0';
                return buffer;
            }
            if (c == '"') {
                state = QUOTED;
                continue;
            }
            buffer[0] = static_cast<char>(c);
            buffer[1] = '\0';
            return buffer;
        }
        state = WORD;
        if (!put(c))
            return nullptr;
    }
}

// ---- environment references ----------------------------------------------

int GFindEnvironmentVariable(const char *text, long *start, long *length)
{
    for (long i = 0; text[i]; i++) {
        if (text[i] != '$' || (i > 0 && text[i - 1] == '\\'))
            continue;
        long n = 0;
        while (isalpha(static_cast<unsigned char>(text[i + 1 + n])) || text[i + 1 + n] == '_')
            n++;
        *start = i;
        *length = n;
        return 1;
    }
    return 0;
}

char *GExpandParseString(const char *text)
{
    std::string out;
    const char *p = text;
    long start, length;
    while (GFindEnvironmentVariable(p, &start, &length)) {
        out.append(p, static_cast<size_t>(start));
        if (length == 0) {
            // A "$" without a name stays as written.
            out += '$';
            p += start + 1;
            continue;
        }
        std::string name(p + start + 1, static_cast<size_t>(length));
        const char *value = getenv(name.c_str());
        if (value)
            out += value;
        else
            gerror_GRegisterError(3, 20, 0, name.c_str());
        p += start + 1 + length;
    }
    out += p;
    char *r = static_cast<char *>(vx_malloc(static_cast<long>(out.size()) + 1, 0));
    if (!r) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return nullptr;
    }
    memcpy(r, out.c_str(), out.size() + 1);
    return r;
}

char *GLowerCase(char *text)
{
    for (char *p = text; *p; p++)
        if (*p >= 'A' && *p <= 'Z')
            *p = static_cast<char>(*p - 'A' + 'a');
    return text;
}

// ---- hash tables ---------------------------------------------------------

struct GHashEntry {
    GHashEntry *prev;
    GHashEntry *next;
    char *key;
    int16_t length;
    int64_t value;
};

namespace {

long bucket_of(const GHashTable *table, const char *key, int length)
{
    unsigned char b[4];
    if (length >= 4) {
        b[0] = static_cast<unsigned char>(key[0]);
        b[1] = static_cast<unsigned char>(key[1]);
        b[2] = static_cast<unsigned char>(key[2]);
        b[3] = static_cast<unsigned char>(length % 256);
    } else {
        for (int i = 0; i < 4; i++)
            b[i] = static_cast<unsigned char>(key[i % length]);
    }
    uint64_t v = (uint64_t(b[0]) << 56) | (uint64_t(b[1]) << 48) | (uint64_t(b[2]) << 40) | (uint64_t(b[3]) << 32);
    return static_cast<long>(v % static_cast<uint64_t>(table->buckets));
}

GHashEntry *find_entry(GHashTable *table, const char *key, int length, long *bucket)
{
    if (!table || !key || length <= 0)
        return nullptr;
    long b = bucket_of(table, key, length);
    if (bucket)
        *bucket = b;
    // Entries are added at the end of their chain, so the first match is
    // the earliest inserted.
    for (GHashEntry *e = table->chains[b]; e; e = e->next)
        if (e->length == length && memcmp(e->key, key, static_cast<size_t>(length)) == 0)
            return e;
    return nullptr;
}

}  // namespace

GHashTable *ghash_GCreateHashTable(int buckets)
{
    if (buckets < 1)
        buckets = 1;
    if (buckets > 32767)
        buckets = 32767;
    GHashTable *t = static_cast<GHashTable *>(vx_malloc(sizeof(GHashTable), 0));
    GHashEntry **chains = static_cast<GHashEntry **>(vx_malloc(buckets * static_cast<long>(sizeof(GHashEntry *)), 0));
    if (!t || !chains) {
        vx_free(t);
        vx_free(chains);
        gerror_GRegisterError(4, 3, 0, nullptr);
        return nullptr;
    }
    t->buckets = static_cast<int16_t>(buckets);
    t->chains = chains;
    for (int i = 0; i < buckets; i++)
        chains[i] = nullptr;
    return t;
}

int ghash_GInsertHash(GHashTable *table, const char *key, int length, long value)
{
    if (!table || !key || length <= 0 || length > 32767)
        return -1;
    GHashEntry *e = static_cast<GHashEntry *>(vx_malloc(sizeof(GHashEntry), 0));
    char *k = static_cast<char *>(vx_malloc(length, 0));
    if (!e || !k) {
        vx_free(e);
        vx_free(k);
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    memcpy(k, key, static_cast<size_t>(length));
    *e = GHashEntry{nullptr, nullptr, k, static_cast<int16_t>(length), value};
    long b = bucket_of(table, key, length);
    GHashEntry **link = &table->chains[b];
    GHashEntry *prev = nullptr;
    while (*link) {
        prev = *link;
        link = &(*link)->next;
    }
    e->prev = prev;
    *link = e;
    return 0;
}

long ghash_GHash(GHashTable *table, const char *key, int length)
{
    GHashEntry *e = find_entry(table, key, length, nullptr);
    return e ? e->value : -1;
}

int ghash_GDeleteHash(GHashTable *table, const char *key, int length)
{
    long b;
    GHashEntry *e = find_entry(table, key, length, &b);
    if (!e)
        return -1;
    if (e->prev)
        e->prev->next = e->next;
    else
        table->chains[b] = e->next;
    if (e->next)
        e->next->prev = e->prev;
    vx_free(e->key);
    vx_free(e);
    return 0;
}

void ghash_GDestroyHashTable(GHashTable *table)
{
    if (!table)
        return;
    for (int i = 0; i < table->buckets; i++) {
        GHashEntry *e = table->chains[i];
        while (e) {
            GHashEntry *n = e->next;
            vx_free(e->key);
            vx_free(e);
            e = n;
        }
    }
    vx_free(table->chains);
    vx_free(table);
}

// ---- revision stamps -----------------------------------------------------

namespace {

// Next run of non-space characters: 1, 0 at the end, -1 when too long.
int read_word(FILE *f, std::string &word)
{
    word.clear();
    int c;
    while ((c = fgetc(f)) != EOF && is_space(c)) {
    }
    if (c == EOF)
        return 0;
    do {
        word += static_cast<char>(c);
        if (word.size() > 254)
            return -1;
    } while ((c = fgetc(f)) != EOF && !is_space(c));
    return 1;
}

}  // namespace

int grev_GCheckFileRevision(const char *path, int wanted, int *reason)
{
    // Only regular files: a device or a pipe could be read without end.
    struct stat st;
    FILE *f = path && stat(path, &st) == 0 && S_ISREG(st.st_mode) ? fopen(path, "r") : nullptr;
    if (!f) {
        *reason = 1;
        return -1;
    }
    std::string word;
    int r;
    while ((r = read_word(f, word)) == 1 && word != "PelxRevisionNumber:") {
    }
    if (r == 1)
        r = read_word(f, word);
    fclose(f);
    if (r != 1) {
        *reason = 2;
        return -1;
    }
    char *end;
    long n = strtol(word.c_str(), &end, 10);
    if (end == word.c_str()) {
        *reason = 2;
        return -1;
    }
    if (n != wanted) {
        *reason = 3;
        return -1;
    }
    *reason = 0;
    return 0;
}

void grev_GDumpFileRevision(FILE *file)
{
    fputs("/*\n"
          " * Written by the graphics library.\n"
          " * The stamp below tells the reader which revision of the language this is.\n"
          "\n"
          "   PelxRevisionNumber: 1 0\n"
          "*/\n"
          "\n",
          file);
}

// ---- parse tree ----------------------------------------------------------

FILE *gparse_GOpenParseFile(const char *name, const char *directory)
{
    std::string path = name[0] == '/' ? std::string(name) : std::string(directory ? directory : "") + "/" + name;
    int reason;
    if (grev_GCheckFileRevision(path.c_str(), 1, &reason) != 0) {
        if (reason == 1)
            gerror_GRegisterError(4, 16, 0, path.c_str());
        else
            gerror_GRegisterError(3, reason == 2 ? 18 : 19, 0, path.c_str());
        return nullptr;
    }
    FILE *f = fopen(path.c_str(), "r");
    if (!f)
        gerror_GRegisterError(4, 16, 0, path.c_str());
    return f;
}

int gparse_GCloseParseFile(FILE *file)
{
    if (file)
        fclose(file);
    return 0;
}

void gparse_GDestroyParseTree(GParseNode *node)
{
    if (!node)
        return;
    gparse_GFreeParseTree(node->next);
    gparse_GFreeParseTree(node->child);
    node->next = node->child = nullptr;
    vx_free(node->value);
    node->value = nullptr;
}

void gparse_GFreeParseTree(GParseNode *tree)
{
    // Siblings iteratively, children recursively (bounded by the block depth).
    while (tree) {
        GParseNode *next = tree->next;
        gparse_GFreeParseTree(tree->child);
        vx_free(tree->value);
        vx_free(tree);
        tree = next;
    }
}

namespace {

struct Parser {
    const char *directory;
    GHashTable *keywords;
};

enum { CLOSED = 0, ENDED = 1, FAILED = -1 };

void line_error(int type, int number, long line)
{
    gerror_GRegisterError(type, number, 0, vx_msgf(gerror_GCatalogue(), PELX_PARAM_LINENO, static_cast<int>(line)).c_str());
}

int parse_file(Parser &p, GParseNode **&tail, FILE *file, int *line, int include_depth, int block_depth);
int parse_block(Parser &p, GParseNode **&tail, FILE *file, int *line, int include_depth, int block_depth);

// The block after a keyword's "{": its entries become the node's children.
int parse_child_block(Parser &p, GParseNode *node, FILE *file, int *line, int include_depth, int block_depth)
{
    if (block_depth >= MAX_BLOCK_DEPTH) {
        line_error(3, 15, *line);
        return FAILED;
    }
    GParseNode **child_tail = &node->child;
    return parse_block(p, child_tail, file, line, include_depth, block_depth + 1);
}

// Parses entries into the list ending at *tail until "}" (CLOSED) or the end
// of the file (ENDED).
int parse_block(Parser &p, GParseNode **&tail, FILE *file, int *line, int include_depth, int block_depth)
{
    char buf[256];
    enum { KEYWORD, COLON, VALUE, BLOCK } state = KEYWORD;
    bool include = false;
    GParseNode *node = nullptr;
    const char *pending = nullptr;  // a token read in BLOCK state that is the next keyword
    for (;;) {
        const char *tok = pending ? pending : glex_GReadToken(file, buf, 255, line);
        pending = nullptr;
        if (!tok)
            return ENDED;
        switch (state) {
        case KEYWORD: {
            if (strcmp(tok, "}") == 0)
                return CLOSED;
            std::string word(tok);
            GLowerCase(word.data());
            long key = ghash_GHash(p.keywords, word.c_str(), static_cast<int>(word.size()));
            if (key == GK_INCLUDE) {
                include = true;
                state = COLON;
                break;
            }
            include = false;
            node = static_cast<GParseNode *>(vx_malloc(sizeof(GParseNode), 0));
            if (!node) {
                gerror_GRegisterError(4, 3, 0, nullptr);
                return FAILED;
            }
            *node = GParseNode{key, nullptr, static_cast<uint32_t>(*line), nullptr, nullptr};
            *tail = node;
            tail = &node->next;
            if (key == -1) {
                gerror_GRegisterError(3, 4, 0, vx_msgf(gerror_GCatalogue(), PELX_PARAM_TOKEN, tok, *line).c_str());
                return FAILED;
            }
            state = COLON;
            break;
        }
        case COLON:
            if (tok[0] != ':') {
                gerror_GRegisterError(3, 3, 0, nullptr);
                return FAILED;
            }
            state = VALUE;
            break;
        case VALUE:
            if (include) {
                char *name = GExpandParseString(tok);
                if (!name)
                    return FAILED;
                if (include_depth >= MAX_INCLUDE_DEPTH) {
                    line_error(3, 15, *line);
                    vx_free(name);
                    return FAILED;
                }
                FILE *inc = gparse_GOpenParseFile(name, p.directory);
                vx_free(name);
                if (!inc)
                    return FAILED;
                int inc_line = 1;
                int r = parse_file(p, tail, inc, &inc_line, include_depth + 1, block_depth);
                gparse_GCloseParseFile(inc);
                if (r == FAILED)
                    return FAILED;
                state = KEYWORD;
                break;
            }
            if (strcmp(tok, "{") == 0) {
                int r = parse_child_block(p, node, file, line, include_depth, block_depth);
                if (r != CLOSED)
                    return r;
                state = KEYWORD;
                break;
            }
            node->value = GExpandParseString(tok);
            if (!node->value)
                return FAILED;
            state = BLOCK;
            break;
        case BLOCK:
            if (strcmp(tok, "{") == 0) {
                int r = parse_child_block(p, node, file, line, include_depth, block_depth);
                if (r != CLOSED)
                    return r;
                state = KEYWORD;
                break;
            }
            pending = tok;
            state = KEYWORD;
            break;
        }
    }
}

// A whole file's entries: a stray "}" at its top level ends them.
int parse_file(Parser &p, GParseNode **&tail, FILE *file, int *line, int include_depth, int block_depth)
{
    int r = parse_block(p, tail, file, line, include_depth, block_depth);
    return r == FAILED ? FAILED : ENDED;
}

}  // namespace

int gparse_GCreateParseTree(GParseNode **tree, FILE *file, const char *directory, GHashTable *keywords, int *line)
{
    Parser p{directory, keywords};
    GParseNode **tail = tree;
    while (*tail)
        tail = &(*tail)->next;
    int r = parse_block(p, tail, file, line, 0, 0);
    return r == FAILED ? -1 : 0;
}
