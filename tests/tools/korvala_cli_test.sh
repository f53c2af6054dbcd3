#!/usr/bin/env bash
# End-to-end checks of the built korvala program: korvala_cli_test.sh KORVALA WORKDIR CASE
# Test audio is generated with "korvala demo"; exit 77 marks a skipped case.
set -uo pipefail
K="$1"
WORK="$2/$3"
CASE="$3"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
rm -rf "$WORK" && mkdir -p "$WORK" && cd "$WORK" || exit 1
export LC_ALL=C
failures=0

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_eq() { [[ "$1" == "$2" ]] || fail "$3: expected '$2', got '$1'"; }
# Runs korvala with a time limit; stdout to out.txt, stderr to err.txt, status in $status.
run() { timeout 60 "$K" "$@" >out.txt 2>err.txt; status=$?; }
json_field() { python3 -c 'import json,sys; v=json.load(open(sys.argv[1]))[sys.argv[2]]; print("null" if v is None else v)' "$1" "$2"; }

# The engine's scalar names, as the program lists them when --only is wrong.
scalar_names() {
    "$K" analyze --only __none__ 2>&1 >/dev/null | sed -n "s/.*valid names: //p" | sed 's/, /,/g'
}

check_csv_shape() { # file expected_rows
    local names header rows
    names=$(scalar_names)
    header=$(head -n 1 "$1")
    expect_eq "$header" "frame,time,$names,transition" "CSV header of $1"
    printf '%s\n' "${names//,/$'\n'}" | sort -c || fail "names not in byte-wise order"
    [[ "$names" == TIME,*kor_Threshold* ]] || fail "TIME first and kor_Threshold expected in $names"
    expect_eq "$(tr ',' '\n' <<<"$names" | wc -l)" 44 "number of scalar columns"
    rows=$(($(wc -l <"$1") - 1))
    expect_eq "$rows" "$2" "row count of $1"
}

case "$CASE" in
csv44100)
    "$K" demo --out m44.wav --seconds 3 || fail "demo"
    run analyze m44.wav --out m44.csv --quiet
    expect_eq "$status" 0 "status"
    check_csv_shape m44.csv 180
    # Frame 59 is at exactly one second; columns parse as numbers.
    expect_eq "$(sed -n 61p m44.csv | cut -d, -f1,2)" "59,1" "frame 59"
    awk -F, 'NR > 1 { for (i = 1; i <= NF; i++) if ($i !~ /^-?[0-9.e+-]+$|^-?nan$|^-?inf$/) { print "bad field " $i; exit 1 } }' m44.csv || fail "non-numeric field"
    ;;
csv48000stereo)
    "$K" demo --out s48.wav --seconds 3 --sample-rate 48000 --channels 2 --encoding pcm16 || fail "demo"
    run analyze s48.wav --out s48.csv --summary json
    expect_eq "$status" 0 "status"
    check_csv_shape s48.csv 180
    tail -n 1 err.txt >summary.json
    expect_eq "$(json_field summary.json resampled)" "True" "resampled flag"
    expect_eq "$(json_field summary.json input_sample_rate)" "48000" "input rate"
    expect_eq "$(json_field summary.json input_channels)" "2" "channels"
    expect_eq "$(json_field summary.json frames)" "180" "frames in the summary"
    run analyze s48.wav --quiet
    grep -q "resampled from 48000 Hz" err.txt && fail "--quiet still printed a summary"
    run analyze s48.wav
    grep -q "sample-rate conversion: resampled from 48000 Hz to 44100 Hz" err.txt || fail "text summary does not mention the resampling"
    ;;
formats)
    for f in a.aiff a.flac a.ogg; do
        "$K" demo --out "$f" --seconds 3 || fail "demo $f"
        run analyze "$f" --quiet
        expect_eq "$status" 0 "status for $f"
        expect_eq "$(($(wc -l <out.txt) - 1))" 180 "rows for $f"
    done
    # Opus runs at 48 kHz and MP3 decoding adds encoder padding: both are
    # resampled or padded, so only "about 3 s" is certain.
    "$K" demo --out a.opus --seconds 3 --sample-rate 48000 || fail "demo opus"
    "$K" demo --out a.mp3 --seconds 3 || fail "demo mp3"
    for f in a.opus a.mp3; do
        run analyze "$f" --quiet
        expect_eq "$status" 0 "status for $f"
        rows=$(($(wc -l <out.txt) - 1))
        [[ $rows -ge 179 && $rows -le 185 ]] || fail "rows for $f: $rows"
    done
    ;;
schedule)
    # N zero samples on standard input: the summary gives the frame count and
    # the blocks pushed before the last frame, i.e. before frame (frames - 1).
    while read -r fps block samples frames blocks; do
        head -c $((4 * samples)) /dev/zero | timeout 60 "$K" analyze - --fps "$fps" --block "$block" \
            --summary json >/dev/null 2>err.txt
        tail -n 1 err.txt >summary.json
        expect_eq "$(json_field summary.json frames)/$(json_field summary.json blocks)" \
            "$frames/$blocks" "fps $fps block $block, $samples samples"
    done <<'TABLE'
60 512 44100 60 86
60 512 44099 59 84
60 2048 735 1 0
29.97 512 441000 299 859
30000/1001 700 88200 59 124
60 512 4139520 5632 8085
TABLE
    # 29.97 fps over 10 s of audio: 299 rows, the last at t = 299 / 29.97.
    "$K" demo --out d.wav --seconds 10 || fail "demo"
    run analyze d.wav --fps 29.97 --quiet
    expect_eq "$(($(wc -l <out.txt) - 1))" 299 "rows at 29.97 fps"
    expect_eq "$(tail -n 1 out.txt | cut -d, -f1,2)" "298,9.976643309976643" "last frame at 29.97 fps"
    ;;
stdin)
    "$K" demo --out d.raw --seconds 5 || fail "demo raw"
    "$K" demo --out d.wav --seconds 5 || fail "demo wav"
    cat d.raw | timeout 60 "$K" analyze - --quiet >pipe.csv
    expect_eq "$?" 0 "status from a pipe"
    run analyze d.wav --quiet
    cmp -s pipe.csv out.txt || fail "standard input and the same samples as WAV differ"
    expect_eq "$(($(wc -l <pipe.csv) - 1))" 300 "rows from a pipe"
    # The built-in demo and the demo written as float WAV give identical rows.
    "$K" demo --out full.wav || fail "demo full"
    cmp -s <("$K" analyze --quiet) <("$K" analyze full.wav --quiet) || fail "built-in demo differs from demo.wav"
    # --out into a pipe writes through it and leaves it a pipe.
    mkfifo rows.fifo
    cat rows.fifo >fifo.csv &
    timeout 60 "$K" analyze d.wav --quiet --out rows.fifo
    expect_eq "$?" 0 "status with --out a FIFO"
    wait
    [[ -p rows.fifo ]] || fail "--out replaced the FIFO"
    cmp -s fifo.csv out.txt || fail "rows through the FIFO differ"
    ;;
columns)
    "$K" demo --out d.wav --seconds 3 || fail "demo"
    names=$(scalar_names)
    first=${names%%,*}
    last=${names##*,}
    run analyze d.wav --only "$last,$first" --quiet
    expect_eq "$status" 0 "status --only"
    if [[ "$first" == "$last" ]]; then want="frame,time,$first,transition"; else want="frame,time,$first,$last,transition"; fi
    expect_eq "$(head -n 1 out.txt)" "$want" "--only header keeps name order"
    run analyze d.wav --every 7 --quiet
    expect_eq "$(($(wc -l <out.txt) - 1))" 26 "rows with --every 7"
    expect_eq "$(sed -n 3p out.txt | cut -d, -f1)" 7 "second row with --every 7"
    run analyze d.wav --format jsonl --vectors --every 30 --quiet
    expect_eq "$status" 0 "status --vectors"
    expect_eq "$(wc -l <out.txt)" 6 "jsonl lines"
    python3 - "$names" <<'PY' || fail "jsonl fields"
import json, sys
names = sys.argv[1].split(",")
for line in open("out.txt"):
    row = json.loads(line)
    keys = list(row)
    assert keys[:2] == ["frame", "time"], keys[:2]
    assert keys[2:2 + len(names)] == names, "scalar fields differ"
    assert keys[2 + len(names)] == "transition" and isinstance(row["transition"], bool)
    vectors = keys[3 + len(names):]
    assert len(vectors) == 8 and vectors == sorted(vectors), vectors
    for v in vectors:
        assert isinstance(row[v], list) and all(isinstance(x, (int, float)) or x is None for x in row[v])
PY
    run analyze d.wav --format jsonl --vectors --only kor_Spectrum,TIME --every 60 --quiet
    python3 -c '
import json
rows = [json.loads(l) for l in open("out.txt")]
assert len(rows) == 3
assert all(list(r) == ["frame", "time", "TIME", "transition", "kor_Spectrum"] for r in rows), list(rows[0])
assert all(len(r["kor_Spectrum"]) == 1024 for r in rows)
# the components behind a printed vector run every frame: the music shows in it
assert any(x > 0 for x in rows[-1]["kor_Spectrum"]), "kor_Spectrum stayed silent"' || fail "--only with a vector"
    run analyze d.wav --only kor_Spectrum
    expect_eq "$status" 2 "--only vector without --vectors"
    run analyze d.wav --format jsonl --quiet
    python3 -c 'import json; assert all(len(json.loads(l)) == len(json.loads(open("out.txt").readline())) for l in open("out.txt"))' || fail "jsonl rows differ"
    run analyze d.wav --vectors --quiet
    expect_eq "$status" 2 "--vectors with csv"
    # The felt layer's options add its columns after the engine's, whose bytes stay the same.
    run analyze d.wav --quiet --tempo-range 70-140 --gate --latency-ms 100
    felt=felt_BPM,felt_Confidence,felt_Pulse,music_Playing,music_Starts,music_Stops,beat_Phase,beat_Predicted
    expect_eq "$(head -n 1 out.txt)" "frame,time,$names,$felt,transition" "header with the felt layer"
    paste -d, <(cut -d, -f1-46 out.txt) <(awk -F, '{ print $NF }' out.txt) >engine_only.csv
    "$K" analyze d.wav --quiet | cmp -s - engine_only.csv || fail "the felt options changed the engine's columns"
    run analyze d.wav --only kor_NotAName
    expect_eq "$status" 2 "--only unknown"
    grep -q "^korvala: --only: unknown component 'kor_NotAName'; valid names: " err.txt || fail "--only message: $(cat err.txt)"
    ;;
badinput)
    "$K" demo --out good.wav --seconds 3 --encoding pcm16 || fail "demo"
    "$K" demo --out good.flac --seconds 3 || fail "demo flac"
    : >empty.wav
    head -c 100000 good.wav >truncated.wav
    head -c 20000 good.flac >truncated.flac
    python3 - <<'PY'
data = bytearray(open("good.flac", "rb").read())
for i in range(len(data) // 2, len(data) // 2 + 4000):
    data[i] = (data[i] * 7 + 13) & 255
open("corrupt_midway.flac", "wb").write(data)
data = bytearray(open("good.wav", "rb").read())
data[20:36] = b"\xff" * 16
open("corrupt_header.wav", "wb").write(data)
open("notes.wav", "w").write("these are words, not audio\n" * 10)
PY
    mkdir adir
    # status | stderr pattern | arguments
    while IFS='|' read -r want pattern args; do
        eval "run $args"
        expect_eq "$status" "$want" "status of: $args"
        [[ $(wc -l <err.txt) -eq 1 ]] || fail "not one line on stderr for: $args: $(cat err.txt)"
        grep -Eq "^korvala: $pattern" err.txt || fail "message for: $args: $(cat err.txt)"
    done <<'TABLE'
1|missing.wav: cannot open: No such file or directory|analyze missing.wav
1|adir: cannot open: is a directory|analyze adir
1|empty.wav: the file is empty|analyze empty.wav
1|truncated.wav: truncated: the header announces [0-9]+ bytes of audio, the file holds [0-9]+|analyze truncated.wav
1|truncated.flac: decoding failed after [0-9]+ samples|analyze truncated.flac --quiet
1|corrupt_midway.flac: decoding failed after [0-9]+ samples|analyze corrupt_midway.flac --quiet
1|corrupt_header.wav: cannot open: .*fmt|analyze corrupt_header.wav
1|notes.wav: cannot open: not a supported audio format|analyze notes.wav
1|--out nodir/x.csv: cannot create: No such file or directory|analyze good.wav --out nodir/x.csv
2|--block: Value 0 not in range 1 to 2048|analyze good.wav --block 0
2|--block: Value 4096 not in range 1 to 2048|analyze good.wav --block 4096
2|--fps: '0' is outside 0 < F <= 1000|analyze good.wav --fps 0
2|--fps: .*not 'fast'|analyze good.wav --fps fast
2|--fps: '2000' is outside 0 < F <= 1000|analyze good.wav --fps 2000
2|--reactivity: 1.5.* is outside 0 to 1|analyze good.wav --reactivity 1.5
2|--audio-speed: -0.1.* is outside 0 to 1|analyze good.wav --audio-speed -0.1
2|--every: '0' is not a whole number|analyze good.wav --every 0
2|--format: xml not in|analyze good.wav --format xml
2|--summary: yaml not in|analyze good.wav --summary yaml
2|several inputs need --out-dir|analyze good.wav extra
2|--tempo-range: 160-80: the low end must be below the high end|analyze good.wav --tempo-range 160-80
2|--tempo-range: '80' is not LO-HI in BPM|report good.wav --tempo-range 80
2|--latency-ms: -5 is outside 0 to 1000 ms|live --latency-ms -5
2|--channels: Value 9 not in range 1 to 8|demo --out x.wav --channels 9
2|--out x.mp4: unknown extension|demo --out x.mp4
TABLE
    if [[ $(id -u) -ne 0 ]]; then
        cp good.wav locked.wav && chmod 000 locked.wav
        run analyze locked.wav
        expect_eq "$status" 1 "unreadable file"
        grep -q "locked.wav: cannot open: Permission denied" err.txt || fail "unreadable message: $(cat err.txt)"
    fi
    # A file that fails half-way leaves no output file (nor a temporary) behind.
    run analyze corrupt_midway.flac --out half.csv --quiet
    expect_eq "$status" 1 "corrupt file with --out"
    [[ -z $(ls | grep half) ]] || fail "a failed run left $(ls | grep half)"
    # Standard input: stray bytes, empty stream.
    (cat good.wav; printf 'ab') | tail -c +45 | head -c 4003 | timeout 20 "$K" analyze - --quiet >/dev/null 2>err.txt
    expect_eq "$?" 1 "stray bytes on stdin"
    grep -q "^korvala: standard input: the stream ends inside a sample (3 stray bytes)" err.txt || fail "stray message: $(cat err.txt)"
    timeout 20 "$K" analyze - </dev/null >/dev/null 2>err.txt
    expect_eq "$?" 1 "empty stdin"
    grep -q "^korvala: standard input: no audio" err.txt || fail "empty stdin message: $(cat err.txt)"
    ;;
reading)
    # Files as other programs write them (sox, lame, libsndfile's converter):
    # each is read whole, or refused with one line and status 1.
    for tool in sox lame sndfile-convert; do
        command -v "$tool" >/dev/null || { echo "SKIPPED: $tool missing (bash scripts/install-deps.sh)"; exit 77; }
    done
    sox -n -r 44100 -c 1 a.wav synth 4 sine 440 gain -6 && sox -n -r 44100 a2.wav synth 2 sine 880 gain -6
    sox a.wav -C 192 cbr.mp3 && sox a.wav a.ogg && sox a2.wav a2.ogg && sox a.wav a.flac
    lame --quiet a.wav la.mp3 && lame --quiet a2.wav la2.mp3
    "$K" demo --out a.opus --seconds 4 --sample-rate 48000
    cat a.ogg a2.ogg >chained.ogg && cat la.mp3 la2.mp3 >joined.mp3
    for ext in rf64 w64 au sf voc nist svx avr mpc; do
        sndfile-convert -pcm16 a.wav "whole.$ext" && head -c 200001 "whole.$ext" >"cut.$ext"
    done
    python3 - <<'PY'
data = bytearray(open("la.mp3", "rb").read())
for i in range(len(data) // 3, len(data) // 3 + 3000):
    data[i] = (data[i] * 7 + 13) & 255
open("damaged.mp3", "wb").write(data)
open("tiny.mp3", "wb").write(open("la.mp3", "rb").read()[:64])
open("short.aiff", "wb").write(open("whole.svx", "rb").read()[:0] + b"FORM\0\0\0\x40AIFFCOMM\0\0\0\x12" + bytes(14))
PY
    sox -n -r 44100 -c 70 wide.wav synth 1 sine 440
    # status | rows (whole files) or stderr pattern | arguments
    while IFS='|' read -r want expect args; do
        eval "run $args"
        expect_eq "$status" "$want" "status of: $args ($(head -c 300 err.txt))"
        if [[ $want == 0 ]]; then
            rows=$(($(wc -l <out.txt) - 1))
            [[ $rows -ge ${expect%-*} && $rows -le ${expect#*-} ]] || fail "rows of $args: $rows, expected $expect"
            [[ -s err.txt ]] && fail "stderr of $args: $(cat err.txt)"
        else
            [[ $(wc -l <err.txt) -eq 1 ]] || fail "not one line on stderr for: $args: $(cat err.txt)"
            grep -Eq "^korvala: $expect" err.txt || fail "message for: $args: $(cat err.txt)"
        fi
    done <<'TABLE'
0|239-243|analyze cbr.mp3 --quiet
0|239-241|analyze la.mp3 --quiet
0|239-241|analyze <(cat a.ogg) --quiet
0|239-241|analyze <(cat a.flac) --quiet
0|239-241|analyze <(cat a.opus) --quiet
0|240-240|analyze - --quiet <a.flac
0|240-240|analyze - --quiet < <(cat a.wav)
0|240-240|analyze - --quiet < <(cat a.flac)
0|240-241|analyze - --quiet < <(cat la.mp3)
0|239-241|analyze - --quiet < <(cat whole.rf64)
0|60-60|analyze wide.wav --quiet
1|chained.ogg: another stream follows the first one, which ends after 176400 samples|analyze chained.ogg --quiet
1|joined.mp3: another stream follows the first one, which ends after 176400 samples|analyze joined.mp3 --quiet
1|damaged.mp3: decoding [fs][a-z]+ after [0-9]+ |analyze damaged.mp3 --quiet
1|tiny.mp3: cannot open: damaged or cut-short MP3 data \(64 bytes\)$|analyze tiny.mp3
1|short.aiff: cannot open: damaged or cut-short AIFF data|analyze short.aiff
1|standard input: truncated: the header announces|analyze - < <(head -c 20000 a.wav)
1|cut.rf64: truncated: the header announces 176400 samples|analyze cut.rf64
1|cut.w64: truncated: the header announces [0-9]+ bytes|analyze cut.w64
1|cut.au: truncated: the header announces 352800 bytes of audio|analyze cut.au
1|cut.sf: truncated: the file ends inside a sample|analyze cut.sf
1|cut.voc: truncated|analyze cut.voc
1|cut.nist: truncated: the header announces 176400 samples|analyze cut.nist
1|cut.svx: truncated: the header announces 352800 bytes of audio|analyze cut.svx
1|cut.avr: truncated: the header announces 176400 samples|analyze cut.avr
1|cut.mpc: truncated: the header announces 176400 samples|analyze cut.mpc
TABLE
    # Samples that are mostly not finite: the run goes on, with a warning.
    python3 -c 'import struct, sys; sys.stdout.buffer.write(struct.pack("<4f", float("nan"), 1e9, 1e9, 0.1) * 4000)' |
        timeout 20 "$K" analyze - --quiet >/dev/null 2>err.txt
    grep -q "^korvala: warning: standard input: 12000 of 16000 samples are not finite or beyond" err.txt ||
        fail "no warning for implausible samples: $(cat err.txt)"
    ;;
writing)
    "$K" demo --out in.wav --seconds 2 || fail "demo"
    "$K" demo --out short.wav --seconds 0.002 || fail "demo short"
    cp in.wav keep.wav && ln -s in.wav link.wav && ln in.wav hard.wav
    # The output is the input, by name or through a link: refused before anything is written.
    for out in in.wav link.wav hard.wav; do
        for cmd in analyze report; do
            run $cmd in.wav --out $out --quiet
            expect_eq "$status" 2 "$cmd --out $out onto its input"
            grep -q "^korvala: --out $out: is the input file in.wav" err.txt || fail "message for --out $out: $(cat err.txt)"
        done
    done
    cmp -s in.wav keep.wav || fail "the input was changed"
    # A replaced file keeps its mode; a symbolic link stays one and its target is replaced.
    echo old >private.csv && chmod 600 private.csv && echo old >target.csv && ln -s target.csv alias.csv
    run analyze in.wav --out private.csv --quiet
    expect_eq "$(stat -c %a private.csv)" 600 "mode of a replaced output"
    run analyze in.wav --out alias.csv --quiet
    [[ -L alias.csv ]] || fail "the symbolic link was replaced by a file"
    expect_eq "$(head -c 6 target.csv)" "frame," "target of the link"
    # Killed or over `ulimit -f`: no temporary is left behind.
    for sig in INT TERM HUP QUIT XFSZ; do
        (head -c 40000 /dev/zero; sleep 2) | "$K" analyze - --out "sig$sig.csv" --quiet 2>/dev/null &
        sleep 0.5
        kill -"$sig" $!
        wait 2>/dev/null
        [[ -z $(ls | grep "sig$sig") ]] || fail "SIG$sig left $(ls | grep "sig$sig")"
    done
    (ulimit -f 8; "$K" analyze in.wav --out big.csv --quiet) 2>/dev/null
    [[ -z $(ls | grep big) ]] || fail "ulimit -f left $(ls | grep big)"
    # Demo settings: Opus at its own rate by default; what cannot be written is refused up front.
    run demo --out d.opus --seconds 1
    expect_eq "$status" 0 "demo .opus at the default rate"
    while IFS='|' read -r want pattern args; do
        eval "run $args"
        expect_eq "$status" "$want" "status of: $args"
        grep -Eq "^korvala: $pattern" err.txt || fail "message for: $args: $(cat err.txt)"
    done <<'TABLE'
2|--sample-rate 44100: Opus takes 8000, 12000, 16000, 24000 or 48000 Hz|demo --out e.opus --sample-rate 44100
2|--seconds x --sample-rate x --channels: 5529600000 samples, more than|demo --out e.wav --seconds 3600 --sample-rate 192000 --channels 8
2|--reactivity: 1.0000001 is outside 0 to 1|analyze in.wav --reactivity 1.0000001
0|warning: --block 256: the tempo tracker assumes 512-sample blocks|analyze in.wav --block 256 --quiet
0|warning: --block 4: .* slower|analyze in.wav --block 4 --quiet --every 1000
0|warning: short.wav: no frames|analyze short.wav --quiet
TABLE
    ;;
demotempo)
    run analyze --summary json
    expect_eq "$status" 0 "status"
    tail -n 1 err.txt >summary.json
    bpm=$(json_field summary.json median_bpm_last_half)
    if [[ "$bpm" == null || "$bpm" == 0 || "$bpm" == 0.0 ]]; then
        echo "skipped: the engine reports no tempo yet"
        exit 77
    fi
    python3 -c "import sys; b=float('$bpm'); sys.exit(0 if abs(b-128)/128 <= 0.02 else 1)" || fail "median tempo $bpm is not 128 BPM within 2 %"
    [[ $(json_field summary.json transitions) -ge 1 ]] || fail "no transition fired"
    expect_eq "$(json_field summary.json steady_beat)" True "the demo's steady beat"
    "$K" analyze --quiet --only TIME | awk -F, 'NR > 1 && $NF == 1 && $2 >= 20 && $2 < 21 { found = 1 } END { exit !found }' ||
        fail "no transition within a second of the drop at 20 s"
    ;;
commands)
    # A bare call shows the help; both version spellings say the same.
    run
    expect_eq "$status" 0 "status of a bare call"
    grep -q "^Subcommands:" out.txt || fail "a bare call does not print the help"
    run --version
    grep -Eq '^korvala [0-9]+\.[0-9]+\.[0-9]+ \(Korvala Engine [0-9.]+, FFT backend (kissfft|fftw), .+ build\)$' out.txt ||
        fail "--version: $(cat out.txt)"
    cmp -s out.txt <("$K" version) || fail "korvala version differs from --version"
    # Each subcommand's help lists only the options it takes.
    while read -r sub present absent; do
        help=$("$K" "$sub" --help)
        for o in ${present//,/ }; do grep -q -- "$o" <<<"$help" || fail "$sub --help lacks $o"; done
        for o in ${absent//,/ }; do grep -q -- "$o" <<<"$help" && fail "$sub --help mentions $o"; done
    done <<'TABLE'
analyze --block,--only,--fps,--tempo-range,--gate,--latency-ms --no-audio
report --fps,--out,--tempo-range,--gate,--latency-ms --block,--only,--every
live --fps,--tempo-range,--gate,--latency-ms --block,--every
TABLE
    # JSON: numbers are numbers, counts are integers.
    run analyze --summary json --only TIME
    tail -n 1 err.txt >summary.json
    python3 - <<'PY' || fail "JSON summary types"
import json
s = json.load(open("summary.json"))
for key in ("fps", "frames", "blocks", "samples", "transitions", "beats_counted", "block_size"):
    assert isinstance(s[key], int) and not isinstance(s[key], bool), (key, s[key])
for key in ("duration_seconds", "bpm", "bpm_confidence", "wall_seconds"):
    assert isinstance(s[key], float), (key, s[key])
assert s["fps"] == 60 and s["fps_ratio"] == "60", s["fps"]
PY
    head -c 441000 /dev/zero | timeout 60 "$K" analyze - --fps 30000/1001 --summary json >/dev/null 2>summary.json
    python3 -c 'import json; s = json.load(open("summary.json")); assert abs(s["fps"] - 29.97003) < 1e-4 and s["fps_ratio"] == "30000/1001" and s["beats_counted"] == 0, s' ||
        fail "fractional frame rate in JSON"
    # A minute of silence holds the tracker at 120 BPM with confidence 1: no summary calls it a beat.
    head -c 10584000 /dev/zero >silence.raw
    "$K" analyze - --only TIME <silence.raw >/dev/null 2>err.txt
    grep -q "^korvala: no steady beat (median confidence over the last half 1.000)" err.txt && ! grep -q "tempo 120" err.txt ||
        fail "silence in the text summary: $(cat err.txt)"
    "$K" analyze - --only TIME --summary json --gate <silence.raw >/dev/null 2>summary.json
    python3 -c 'import json; s = json.load(open("summary.json")); assert s["steady_beat"] is False and s["bpm_confidence"] > 0.99 and s["felt_confidence"] == 0, s' ||
        fail "silence in the JSON summary"
    "$K" summary - <silence.raw | grep -q "no steady beat" || fail "silence in korvala summary"
    if "$K" report - --no-audio --out silence.html <silence.raw 2>err.txt; then
        grep -q '"steady_beat":false' silence.html || fail "silence in the report's data"
    else
        grep -q "plotting library" err.txt || fail "report: $(cat err.txt)"
    fi
    ;;
names)
    # docs/components.md is exactly what `korvala list --format markdown` prints.
    docs="$ROOT/docs/components.md"
    "$K" list --format markdown >list.md
    cmp -s list.md "$docs" || fail "docs/components.md differs from korvala list --format markdown (regenerate it): $(diff list.md "$docs" | head -5)"
    # Every engine name is explained, and nothing else.
    listed=$(grep -o '^| `[A-Za-z_0-9]*`' list.md | tr -d '|` ' | sort | tr '\n' ',')
    engine=$( ("$K" analyze --gate --only __none__ 2>&1 | sed -n "s/.*valid names: //p" | tr -d ' ' | tr ',' '\n'; echo kor_Spectrum kor_SpectrumJuiced kor_SpectrumSmooth kor_Waveform kor_TimeSeries kor_BassTimeSeries kor_MidTimeSeries kor_HighTimeSeries | tr ' ' '\n') | sort | tr '\n' ',')
    expect_eq "$listed" "$engine" "names in the listing"
    grep -q "What fires a transition" list.md || fail "no transition explanation"
    "$K" demo --out d.wav --seconds 2 || fail "demo"
    # --only: any case, spaces after commas, a near miss answered with a suggestion.
    # status | header or stderr pattern | arguments
    while IFS='|' read -r want pattern args; do
        eval "run $args"
        expect_eq "$status" "$want" "status of: $args"
        grep -Eq -- "$pattern" out.txt err.txt || fail "output of: $args: $(head -c 300 out.txt err.txt)"
    done <<'TABLE'
0|^frame,time,kor_BPM,kor_OnBeat,transition$|analyze d.wav -q --only "kor_onbeat, KOR_BPM"
0|^frame,time,TIME,transition$|analyze d.wav -q --only "time,"
2|--only: unknown component 'kor_bmp'; did you mean kor_BPM\? valid names: TIME,|analyze d.wav --only kor_bmp
2|--only: unknown component 'kor_Spectrun'; did you mean kor_Spectrum\?|analyze d.wav --only kor_Spectrun
0|^kor_BPM  \[0, or 50 to 220, BPM\]|list kor_bpm
2|list: unknown component 'kor_Levle'; did you mean kor_Level\?|list kor_Levle
TABLE
    ;;
events)
    "$K" demo --out d.wav || fail "demo"
    "$K" analyze d.wav -q --only kor_BeatTime,kor_Hits >rows.csv
    # Beats are the steps of kor_BeatTime, onsets the rises of kor_Hits through
    # 0.5, transitions the CSV's flag: the same frames, whatever the format.
    python3 - "$K" <<'PY' || fail "events against the frame values"
import csv, json, subprocess, sys
K = sys.argv[1]
rows = list(csv.DictReader(open("rows.csv")))
want = {"beat": [], "onset": [], "transition": []}
prev = {"kor_BeatTime": 0.0, "kor_Hits": 0.0}
for r in rows:
    b, h = float(r["kor_BeatTime"]), float(r["kor_Hits"])
    if b > prev["kor_BeatTime"]: want["beat"].append(r["time"])
    if h >= 0.5 and prev["kor_Hits"] < 0.5: want["onset"].append(r["time"])
    if r["transition"] == "1": want["transition"].append(r["time"])
    prev = {"kor_BeatTime": b, "kor_Hits": h}
assert len(want["beat"]) > 50 and len(want["onset"]) > 50 and len(want["transition"]) >= 1, {k: len(v) for k, v in want.items()}
run = lambda *a: subprocess.run([K, "events", "d.wav", *a], check=True, capture_output=True, text=True).stdout
got = json.loads(run("--format", "json"))
for kind in want:
    assert [float(t) for t in want[kind]] == got[kind + "s"], kind
lines = run("--format", "csv").splitlines()
assert lines[0] == "time,kind"
assert sorted(l.split(",")[1] for l in lines[1:]) == sorted(k for k in want for _ in want[k])
beats = run("--kind", "beat").split()
assert beats == ["%.3f" % float(t) for t in want["beat"]], beats[:3]
both = [l.split("\t") for l in run("--kind", "beat,transition").splitlines()]
assert {k for _, k in both} == {"beat", "transition"} and len(both) == len(want["beat"]) + len(want["transition"])
# The demo is 128 BPM: the beats lie one beat apart.
gaps = sorted(float(b) - float(a) for a, b in zip(want["beat"], want["beat"][1:]))
assert abs(gaps[len(gaps) // 2] - 60 / 128) < 0.02, gaps[len(gaps) // 2]
PY
    run events d.wav --kind bars
    expect_eq "$status" 2 "--kind bars"
    ;;
many)
    "$K" demo --out a.wav --seconds 4 || fail "demo"
    "$K" demo --out b.flac --seconds 5 --sample-rate 48000 || fail "demo"
    "$K" demo --out c.wav --seconds 6 --channels 2 || fail "demo"
    echo "not audio" >bad.wav
    mkdir one par seq
    for f in a.wav b.flac c.wav; do "$K" analyze "$f" -q --out "one/${f%.*}.csv" || fail "single $f"; done
    # Several inputs in parallel give each file's own output, byte for byte;
    # a bad or missing file is named on one line and fails only itself.
    for j in 1 3; do
        dir=$([[ $j == 1 ]] && echo seq || echo par)
        run analyze a.wav bad.wav b.flac missing.wav c.wav --out-dir "$dir" --jobs $j --progress
        expect_eq "$status" 1 "status with bad inputs, --jobs $j"
        for f in a b c; do cmp -s "one/$f.csv" "$dir/$f.csv" || fail "$dir/$f.csv differs from a run on $f alone"; done
        expect_eq "$(ls "$dir" | tr '\n' ' ')" "a.csv b.csv c.csv " "files in $dir"
        expect_eq "$(grep -c 'korvala: bad.wav: cannot open' err.txt)/$(grep -c 'korvala: missing.wav: cannot open' err.txt)" "1/1" "one line per failed file"
        grep -q "2 of 5 inputs failed" err.txt || fail "no count of failures: $(cat err.txt)"
        grep -q "5/5 files" err.txt || fail "no progress over files"
    done
    # summary: one row per good file, in input order.
    run summary a.wav bad.wav b.flac c.wav --format json
    expect_eq "$status" 1 "summary status with a bad file"
    python3 - <<'PY' || fail "summary json"
import json
rows = json.load(open("out.txt"))
assert [r["file"] for r in rows] == ["a.wav", "b.flac", "c.wav"], rows
assert [round(r["duration_seconds"]) for r in rows] == [4, 5, 6]
for r in rows:
    assert isinstance(r["beats"], int) and isinstance(r["transitions"], int) and isinstance(r["steady_beat"], bool)
    assert -40 < r["rms_dbfs"] < r["peak_dbfs"] <= 0, r
PY
    run summary a.wav c.wav
    expect_eq "$(head -n 1 out.txt | tr -s ' ')" "file duration tempo confidence beats transitions rms dBFS peak dBFS" "table header"
    grep -Eq '^c\.wav +0:06\.000 +(no steady beat|[0-9]+\.[0-9] BPM) +[0-9.]+ +[0-9]+ +[0-9]+ +-[0-9]+\.[0-9] +-[0-9]+\.[0-9]$' out.txt || fail "table row: $(cat out.txt)"
    run summary a.wav c.wav --format csv
    expect_eq "$(sed -n 3p out.txt | cut -d, -f1,2)" "c.wav,6.0" "csv row"
    # events of several files on standard output: one CSV with a file column.
    run events a.wav c.wav --format csv --kind beat
    expect_eq "$(head -n 1 out.txt)" "file,time,kind" "events csv header"
    expect_eq "$(grep -c '^file,' out.txt)" 1 "one events csv header"
    [[ $(cut -d, -f1 out.txt | uniq | tr '\n' ' ') == "file a.wav c.wav " ]] || fail "events rows not grouped by file"
    # usage errors
    mkdir x y && cp a.wav x/ && cp a.wav y/
    while IFS='|' read -r pattern args; do
        eval "run $args"
        expect_eq "$status" 2 "status of: $args"
        grep -q -- "$pattern" err.txt || fail "message for $args: $(cat err.txt)"
    done <<'TABLE'
several inputs need --out-dir|analyze a.wav c.wav
two inputs would both be written to seq/a.csv|analyze x/a.wav y/a.wav --out-dir seq
not an existing directory|events a.wav --out-dir nodir
TABLE
    ;;
*)
    echo "unknown case $CASE" >&2
    exit 1
    ;;
esac

[[ $failures -eq 0 ]] || exit 1
echo "ok: $CASE"
