#!/usr/bin/env bash
# Whether Wine can start 32-bit Windows programs on this machine: not where the Linux
# kernel runs no 32-bit programs at all (its IA-32 emulation switched off), since Wine's
# 32-bit side is itself a 32-bit Linux program.
wine --version >/dev/null 2>&1
[ $? -ne 126 ]
