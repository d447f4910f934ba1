#!/bin/sh
# Makes the two sound sets of ZugaretCHAT from nothing:
#   sonidos/tarambo/  short tones and clicks synthesized with sox
#   sonidos/zelbo/    the cue words spoken by espeak-ng (voice "es",
#                     Spanish_(Spain)), trimmed and normalised with sox
# One wave file per cue, 22050 Hz, mono, 16 bit, each under two seconds
# (the tones under one).
# Usage: tools/make-sounds.sh [source root]   (needs sox and espeak-ng)
set -eu

ROOT=${1:-$(cd "$(dirname "$0")/.." && pwd)}
TARAMBO="$ROOT/sonidos/tarambo"
ZELBO="$ROOT/sonidos/zelbo"
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
mkdir -p "$TARAMBO" "$ZELBO"

FMT="-r 22050 -c 1 -b 16"

# note DURATION SYNTH-ARGS... : one note into a new temporary file, with a
# soft attack and release so nothing clicks; prints the file name.
note() {
    dur=$1; shift
    f=$(mktemp -p "$TMP" nXXXXXX.wav)
    sox -n $FMT "$f" synth "$dur" "$@" fade q 0.005 "$dur" 0.04 vol 0.6
    echo "$f"
}

# rest DURATION: silence between notes.
rest() {
    f=$(mktemp -p "$TMP" rXXXXXX.wav)
    sox -n $FMT "$f" trim 0 "$1"
    echo "$f"
}

# cue NAME FILES... : joins the pieces, normalises to -3 dBFS.
cue() {
    name=$1; shift
    sox "$@" $FMT "$TARAMBO/$name.wav" norm -3
}

# --- tarambo: tones -------------------------------------------------------
# A move: a short wooden knock (pluck plus a touch of noise).
cue mover "$(note 0.07 pluck 330 pluck 660)"
# Castling: two knocks.
cue enroque "$(note 0.06 pluck 330)" "$(rest 0.05)" "$(note 0.06 pluck 392)"
# A new game: rising major arpeggio.
cue nueva "$(note 0.10 pluck C5)" "$(note 0.10 pluck E5)" "$(note 0.22 pluck G5)"
# Check: two bright high notes.
cue jaque "$(note 0.09 square A5 sine A6)" "$(rest 0.04)" "$(note 0.16 square A5 sine A6)"
# Mate: a falling minor triad, longer.
cue mate "$(note 0.14 triangle G4)" "$(note 0.14 triangle Eb4)" "$(note 0.40 triangle C4)"
# Stalemate: two soft low notes, neither up nor down.
cue ahogado "$(note 0.18 sine D4)" "$(rest 0.05)" "$(note 0.25 sine D4)"
# No mating material: a dull buzz.
cue ilegal "$(note 0.30 square 110 square 113)"
# Threefold repetition: the same note three times.
cue repeticion "$(note 0.08 pluck A4)" "$(note 0.08 pluck A4)" "$(note 0.14 pluck A4)"
# A draw: a soft open fifth.
cue tablas "$(note 0.45 sine C5 sine G5)"
# A check answered by taking the checking piece with a rook: rising step.
cue nojaque "$(note 0.10 triangle E5)" "$(note 0.20 triangle B5)"
# A rook running away from a check: a quick falling slide.
cue cobarde "$(note 0.30 sine 900-300)"
# A resignation: a longer, lower falling slide.
cue cobarde2 "$(note 0.55 triangle 600-150)"
# Someone arrives: ding-dong upwards.
cue entrar "$(note 0.16 sine E5 sine E6)" "$(note 0.30 sine A5 sine A6)"
# Someone leaves: ding-dong downwards.
cue salir "$(note 0.16 sine A5 sine A6)" "$(note 0.30 sine E5 sine E6)"
# Connected to a host: three quick rising notes.
cue conectar "$(note 0.07 pluck C5)" "$(note 0.07 pluck G5)" "$(note 0.16 pluck C6)"
# Connection closed: three quick falling notes.
cue desconectar "$(note 0.07 pluck C6)" "$(note 0.07 pluck G5)" "$(note 0.16 pluck C5)"
# A private message: a light double pop.
cue msg "$(note 0.05 sine B6)" "$(rest 0.03)" "$(note 0.08 sine E7)"

# --- zelbo: words -----------------------------------------------------------
# say NAME TEXT: speaks TEXT with the Spanish voice, trims the silence at both
# ends, resamples and normalises.
say() {
    espeak-ng -v es -s 165 -w "$TMP/say.wav" "$2"
    sox "$TMP/say.wav" $FMT "$TMP/trim.wav" \
        silence 1 0.01 0.5% reverse silence 1 0.01 0.5% reverse
    sox "$TMP/trim.wav" "$ZELBO/$1.wav" fade q 0.005 0 0.03 norm -3
}

say nueva "Nueva partida"
say mover "Mueve"
say jaque "¡Jaque!"
say mate "¡Jaque mate!"
say ahogado "Rey ahogado"
say ilegal "Material insuficiente"
say repeticion "Repetición"
say tablas "Tablas"
say enroque "Enroque"
say nojaque "¡Toma!"
say cobarde "¡Cobarde!"
say cobarde2 "¡Se rinde, cobarde!"
say entrar "Bienvenido"
say conectar "Conectado"
say desconectar "Desconectado"
say salir "Adiós"
say msg "Mensaje"
