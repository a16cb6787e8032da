#!/usr/bin/env bash
# Rules of the codebase that a compiler does not check. Each rule names the
# files it admits and says why when it finds something elsewhere; the exit
# status is 1 when any rule fired.
set -uo pipefail
cd "$(dirname "$0")/.."

library=(core channel probe episodes render scan checks)
failed=0

# Prints the matches of pattern in the C and C++ files of the given folders,
# leaving out the files matching the extended regex admitted.
matches() {
    local pattern=$1 admitted=$2
    shift 2
    grep -rnP --include='*.cpp' --include='*.h' --include='*.c' -- "$pattern" "$@" 2>/dev/null |
        grep -vE "^(${admitted}):" || true
}

# rule name, why, pattern, admitted files, folders
check() {
    local name=$1 why=$2 pattern=$3 admitted=$4
    shift 4
    local found
    found=$(matches "$pattern" "$admitted" "$@")
    [ -z "$found" ] && return
    failed=1
    printf 'check-style: %s\n%s\n' "$name" "$found"
    printf '  why: %s\n\n' "$why"
}

check "system test outside the platform layer" \
    "every OS call and every difference between the systems stays behind core/platform_*.cpp and core/replace_*.cpp (and core/*_win32.cpp, *_posix.cpp), so the rest of the code is one program for both; tests ask support/paths.h (kWindows), the public header picks its export attribute" \
    '^\s*#\s*(ifn?def\s+_WIN32\b|(el)?if\b.*\b_WIN32\b)' \
    'core/platform_[a-z0-9]+\.cpp|core/replace_[a-z0-9]+\.cpp|[a-z/]+_(win32|posix)\.cpp|include/quorvane_podcastfeed\.h' \
    "${library[@]}" include tools tests fuzz bench

# The library's files that today still format text straight into a buffer of
# their own; each writes only ASCII numbers or dates.
snprintf_admitted='core/text\.cpp|core/error\.cpp|core/dates\.cpp|core/platform_[a-z0-9]+\.cpp|core/replace_[a-z0-9]+\.cpp'
snprintf_admitted+='|render/feed_build\.cpp'
snprintf_admitted+='|episodes/fields\.cpp'
check "snprintf into a fixed field" \
    "a text goes into a fixed field through copy_cut (core/text.h), which cuts it at a character boundary; snprintf cuts anywhere, inside a UTF-8 character or a JSON escape. Format into a std::string and copy_cut it in" \
    '\b(v?snprintf|v?sprintf|strn?cpy|strn?cat)\s*\(' \
    "$snprintf_admitted" \
    "${library[@]}"

# The macro headers for attributes are the public header (PF_API, for hosts)
# and core/attributes.h (everything the library uses inside).
check "compiler attribute outside the macro header" \
    "an attribute spelled in place ties the code to one compiler; attributes are named once, as macros in one header, and used through those macros" \
    '__attribute__|__declspec|\[\[\s*gnu::' \
    'include/quorvane_podcastfeed\.h|core/attributes\.h' \
    "${library[@]}" include

# The feed's process-wide state is one object, in core/feed_state.cpp, that
# the exported functions hand on to everything they call. Apart from it only
# the last-error text (core/error.cpp), the probe's own result and reading
# scratch (probe/) and the counters naming temporary files
# (core/replace_*.cpp) outlive a call.
state_admitted='core/feed_state\.cpp|core/error\.cpp|probe/source\.cpp|probe/media_probe\.cpp'
state_admitted+='|core/replace_[a-z0-9]+\.cpp'
check "process-wide state outside its files" \
    "the library holds one feed, and every variable that outlives a call is part of it: it belongs in struct pf_feed_state (core/feed_state.h), whose one instance a reset puts back as a whole, not in a variable of its own that a reset or a second feed would miss" \
    '^(static\s+)?(thread_local\s+)?(alignas\([^)]*\)\s+)?(unsigned\s+)?[A-Za-z_][\w:<>]*\s+\*?\s*s_\w+(\[[^]]*\])*\s*(=[^;]*)?;|^\s+(static|thread_local)\s+(?!const\b|constexpr\b|inline\b|void\b|bool\b)[\w:<>]+\s+\w+\s*(=[^;]*)?;' \
    "$state_admitted" \
    "${library[@]}"

exit "$failed"
