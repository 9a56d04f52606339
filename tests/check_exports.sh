#!/bin/sh
# Fails when the shared library exports a name that is neither one of the 16 factories nor part
# of what callers need to catch and read kora_token_parser_exception.
set -eu
lib=$1
allowed='^(KORA(LogManager|PresetManager|TokenParser|XmlParser|XmlWriter|XmlXPath|TagManager|TokenParserEx)Factory_(Create|Destroy)|_ZT[IVS]27kora_token_parser_exception|_ZN27kora_token_parser_exceptionD[012]Ev|_ZNK27kora_token_parser_exception4whatEv)$'
names=$(nm -D --defined-only "$lib" | awk '{print $3}' | sed 's/@.*//' | grep -v '^$')
bad=$(printf '%s\n' "$names" | grep -Ev "$allowed" || true)
if [ -n "$bad" ]; then
  echo "unexpected exports:"; printf '%s\n' "$bad"; exit 1
fi
count=$(printf '%s\n' "$names" | grep -c '^KORA' || true)
echo "exports ok: $count factory names"
