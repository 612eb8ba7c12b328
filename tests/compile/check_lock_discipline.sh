#!/usr/bin/env bash
# Runs the compiler over lock_discipline.cpp: clean as written, and failing with
# the thread-safety analysis's own message for each fault switched on.
set -uo pipefail
compiler=$1; source_dir=$2; shift 2
flags=("$@")
file=$source_dir/tests/compile/lock_discipline.cpp
compile() { "$compiler" -std=c++20 -fsyntax-only "${flags[@]}" -I"$source_dir/src" "$@" "$file" 2>&1; }

status=0
if ! out=$(compile); then
  echo "lock_discipline.cpp does not compile as written:"; echo "$out"; status=1
fi
check_fault() { # define, expected message
  local out
  if out=$(compile "-D$1"); then
    echo "$1: compiled, but the analysis should have rejected it"; status=1
  elif ! grep -qF -- "$2" <<<"$out"; then
    echo "$1: failed without the expected message '$2':"; echo "$out"; status=1
  else
    echo "$1: rejected: $(grep -F -- "$2" <<<"$out" | head -n1)"
  fi
}
check_fault KVT_FAULT_UNLOCKED_READ "requires holding mutex 'shared.devices'"
check_fault KVT_FAULT_WRONG_ORDER "mutex 'devices' must be acquired before 'joysticks'"
check_fault KVT_FAULT_CONNECT_UNDER_KEYBOARD_LOCK "cannot call function 'ConnectKeyboard' while mutex 'g_keyboardLock' is held"
check_fault KVT_FAULT_JOB_FIELD_UNCHECKED "requires holding role 'g_jobThread'"
check_fault KVT_FAULT_NAME_UNLOCKED "reading variable 'name' requires holding mutex 'textLock_'"
check_fault KVT_FAULT_SOUND_INSIDE_TEXT "mutex 'lock_' must be acquired before 'textLock_'"
exit $status
