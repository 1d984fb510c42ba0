#!/usr/bin/env python3
"""Writes docs/fairness.md (to standard output) and the gnuplot scripts of its charts from
the raw figures that scripts/fairness.sh collected. It only reads, counts verdicts and lays
out: every statistic comes from the figures tool or from dieharder."""
import argparse
import pathlib
import re
import subprocess

FACES = 6


def parse_figures(text):
    """'name value...' lines; repeated names (face, pair, words) are kept in order."""
    figures = {}
    for line in text.splitlines():
        if line.strip():
            name, _, rest = line.partition(" ")
            figures.setdefault(name, []).append(rest.split(" "))
    return figures


def read_figures(path):
    return parse_figures(pathlib.Path(path).read_text())


def first(figures, name):
    return figures[name][0]


def grouped(n):
    return f"{int(n):,}"


def p_text(p):
    p = float(p)
    if p == 0:
        return "< 1e-300"
    return f"{p:.4f}" if p >= 0.001 else f"{p:.2e}"


def read_battery(path):
    header = {}
    rows = []
    for line in pathlib.Path(path).read_text().splitlines():
        m = re.match(r"# (seed|stream|commit) (.*)", line)
        if m:
            header[m.group(1)] = m.group(2)
            continue
        m = re.match(r"#\s+dieharder version (\S+)", line)
        if m:
            header["version"] = m.group(1)
            continue
        cells = [c.strip() for c in line.split("|")]
        if len(cells) == 6 and re.fullmatch(r"[0-9.]+", cells[4]):
            rows.append(cells)
    return header, rows


def throws_section(name, figures):
    throws = int(first(figures, "throws")[0])
    expected, low, high = (float(x) for x in first(figures, "band")[1:4])
    faces = [int(f[1]) for f in figures["face"]]
    lines = [f"| face | count | difference from {grouped(expected)} | inside the 99.9 % band |", "|---|---:|---:|---|"]
    for k, count in enumerate(faces, 1):
        inside = "yes" if low <= count <= high else "**no**"
        lines.append(f"| {k} | {grouped(count)} | {count - expected:+,.0f} | {inside} |")
    lines.append("")
    lines.append(f"The 99.9 % band of one face's count is {low:,.0f} to {high:,.0f}.")
    lines.append("")
    face = first(figures, "face_test")
    serial = first(figures, "serial_test")
    second = first(figures, "serial_second_difference")
    repeats = first(figures, "repeats")
    lines += [
        "| test | statistic | degrees of freedom | p-value |",
        "|---|---:|---:|---:|",
        f"| faces against 1/6 each (chi-square) | {float(face[0]):.3f} | {face[1]} | {p_text(face[2])} |",
        f"| pairs of successive throws, first difference | {float(serial[0]):.3f} | {serial[1]} | {p_text(serial[2])} |",
        f"| pairs of successive throws, second difference | {float(second[0]):.3f} | {second[1]} | {p_text(second[2])} |",
        f"| the same face again: {grouped(repeats[0])} times, {grouped(float(repeats[1]))} expected | z = {float(repeats[2]):+.3f} | | {p_text(repeats[3])} |",
        "",
        "Pairs of successive throws (row: a throw, column: the throw after it):",
        "",
        "| | " + " | ".join(str(k) for k in range(1, FACES + 1)) + " |",
        "|---|" + "---:|" * FACES,
    ]
    pairs = figures["pair"]
    for a in range(FACES):
        row = [grouped(pairs[a * FACES + b][2]) for b in range(FACES)]
        lines.append(f"| **{a + 1}** | " + " | ".join(row) + " |")
    return "\n".join(lines)


def chart_script(out, source, title, figures):
    expected, low, high = (float(x) for x in first(figures, "band")[1:4])
    faces = [int(f[1]) for f in figures["face"]]
    spread = high - expected
    bottom = min(min(faces), low - spread * 0.6)
    top = max(max(faces), high + spread * 0.6)
    data = "\n".join(f"{k} {c}" for k, c in enumerate(faces, 1))
    return f"""set terminal pngcairo size 640,400 font "DejaVu Sans,10"
set output "docs/fairness-{source}.png"
set title "{title}"
set ylabel "throws (the axis starts at {bottom:,.0f})"
set xrange [0.4:6.6]
set yrange [{bottom}:{top}]
set xtics 1 format "face %.0f"
set format y "%.0f"
set key below horizontal
set boxwidth 0.6
set style fill solid 0.7 border -1
set object 1 rectangle from 0.4,{low} to 6.6,{high} fillcolor rgb "#d9d9d9" fillstyle solid 1.0 noborder behind
$counts << EOD
{data}
EOD
plot $counts using 1:2 with boxes linecolor rgb "#3b6ea8" title "count", \\
     {expected} with lines dashtype 2 linewidth 2 linecolor rgb "black" title "expected", \\
     NaN with boxes fillcolor rgb "#d9d9d9" title "99.9 % band of a fair die"
"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--figures", required=True)
    parser.add_argument("--commit", required=True)
    parser.add_argument("--seed", required=True)
    args = parser.parse_args()
    out = pathlib.Path(args.out)

    generator = read_figures(out / "throws-generator.txt")
    crypto = read_figures(out / "throws-crypto.txt")
    scaling = read_figures(out / "scaling.txt")
    header, rows = read_battery(out / f"battery-{args.seed}.txt")

    verdicts = {v: sum(1 for r in rows if r[5] == v) for v in ("PASSED", "WEAK", "FAILED")}
    chance = parse_figures(
        subprocess.run([args.figures, "verdicts", str(len(rows)), str(verdicts["WEAK"])],
                       check=True, capture_output=True, text=True).stdout)
    weak_expected = float(first(chance, "weak_expected")[0])
    weak_at_least = first(chance, "weak_at_least")[1]

    throws = int(first(generator, "throws")[0])
    provider = " ".join(first(crypto, "provider")) if "provider" in crypto else "the default provider"
    words = [int(w[1]) for w in scaling["words"]]
    most, least = max(words), min(words)

    pathlib.Path(out / "chart-generator.gp").write_text(
        chart_script(out, "generator", f"Pseudo-random generator, seed {args.seed}: {grouped(throws)} throws", generator))
    pathlib.Path(out / "chart-crypto.gp").write_text(
        chart_script(out, "crypto", f"Cryptographic source: {grouped(throws)} throws", crypto))

    answer = answer_text(generator, crypto, verdicts, len(rows), most, least, throws)
    battery_commit = header.get("commit", "unknown")

    print(f"""# Are the dice fair?

<!-- Written by scripts/fairness.sh; edit the script, not this page. -->

{answer}

Every figure on this page was produced by `scripts/fairness.sh` at commit
`{args.commit}`; the battery of section 4 ran at commit `{battery_commit}`. The
pseudo-random generator was seeded with {args.seed} both for its throws and for the
battery, so its figures are the same on every run. The cryptographic source's throws are
new on every run.

## 1. How a throw is made

A throw takes one 32-bit word from its source, the platform's cryptographic source
(`crypto_random_int(5)`) or, when that cannot be opened, the program's own lagged
generator (`random_int(5)`). The word is scaled onto the faces 0 to 5 by the high half of
the 64-bit product word × 6, and the face shown is that number plus one. No remainder of a
division is taken, so no face gets the leftover words of a `% 6` in one lump.

## 2. The scaling's exact bias

2^32 is not a multiple of 6: 2^32 mod 6 = {first(scaling, "remainder")[0]}. The scaling hands each face
a run of consecutive words, and the runs differ by at most one word:

| face | words of 2^32 | chance |
|---|---:|---:|
""" + "\n".join(f"| {k} | {grouped(w)} | {w / 2**32:.12f} |" for k, w in enumerate(words, 1)) + f"""

The most likely face beats the least likely one by {grouped(most - least)} word in {grouped(least)}, a
difference in chance of {float(first(scaling, "chance_difference")[0]):.3e} (a ratio of 1 + {float(first(scaling, "ratio_excess")[0]):.3e}).
For that difference to grow as large as the ordinary scatter of one face's count, the die
would have to be thrown about {float(first(scaling, "throws_to_show")[0]):.2e} times.

## 3. {grouped(throws)} throws of each source

The generator ran natively from seed {args.seed}. The cryptographic source ran through
the platform's provider ({provider}) under 64-bit Wine.

![Face counts of the generator](fairness-generator.png)
![Face counts of the cryptographic source](fairness-crypto.png)

The serial test looks at every pair of successive throws, the first with the second, the
second with the third and so on (overlapping pairs, counted around the cycle so that the
last throw pairs with the first): that is every "same face again" or "a 6 after a 1" a
player sees. Overlapping pairs share throws, so the plain chi-square over the 36 cells is
not chi-square distributed; Good's differences are. The first difference (pairs minus
faces, 30 degrees of freedom) tests the pairs as a whole; the second (pairs minus twice
the faces, 25 degrees of freedom) leaves out the faces' own imbalance and measures only
how a throw depends on the one before it. A repeat of the face before has chance 1/6 on
a fair die, and repeats of successive throws are pairwise independent, so their count has
the exact variance n × 1/6 × 5/6.

### Pseudo-random generator (seed {args.seed})

{throws_section("generator", generator)}

### Cryptographic source

{throws_section("crypto", crypto)}

## 4. The generator's words through dieharder

The generator's raw 32-bit words from seed {args.seed} (`random_seed({args.seed})`, then
`random_next()` over and over) were piped into dieharder {header.get("version", "")}
(`dieharder -g 200 -a`, which reads raw words from standard input). Its own seed does not
enter: with words from standard input the stream decides every result.

| verdict | results |
|---|---:|
| PASSED | {verdicts["PASSED"]} |
| WEAK | {verdicts["WEAK"]} |
| FAILED | {verdicts["FAILED"]} |
| all | {len(rows)} |

dieharder calls a result WEAK when its p-value lies within 0.005 of 0 or 1, and FAILED
when it lies within 0.000001 of 0 or 1. A perfect source lands in the WEAK zones with
chance 0.01 per result, so among {len(rows)} results about {weak_expected:.1f} WEAK are expected by chance
alone; the chance of {verdicts["WEAK"]} or more is {p_text(weak_at_least)}. A WEAK result
is a prompt to look again with more samples, not a verdict; the results are not fully
independent either (many tests read overlapping parts of one stream, and the battery
includes diehard_sums, which dieharder itself marks "Do Not Use"). Only FAILED means a
defect.

| test | ntup | tsamples | psamples | p-value | verdict |
|---|---:|---:|---:|---:|---|
""" + "\n".join(f"| {r[0]} | {r[1]} | {r[2]} | {r[3]} | {r[4]} | {r[5]} |" for r in rows))


def answer_text(generator, crypto, verdicts, results, most, least, throws):
    """The short answer, chosen by the figures: 'yes' only when no test rejects a fair die
    at p < 1e-6 (the bound of the test command) and dieharder failed nothing."""
    def fair(figures):
        tests = ("face_test", "serial_test", "serial_second_difference")
        return all(float(first(figures, t)[2]) >= 1e-6 for t in tests) and float(first(figures, "repeats")[3]) >= 1e-6

    if fair(generator) and fair(crypto) and verdicts["FAILED"] == 0:
        return (f"**Yes.** {grouped(throws)} throws of each of Tessarix's two random sources land on every "
                f"face, and on every pair of successive faces, as often as a fair die would, and the "
                f"fallback generator fails none of dieharder's {results} results. The scaling onto six "
                f"faces favours four of them by {grouped(most - least)} word in {grouped(least)}, a "
                f"difference no player could throw often enough to notice.")
    return ("**Not shown here.** At least one of the tests below puts a source or the battery "
            "outside what a fair die gives; the tables below say which.")


if __name__ == "__main__":
    main()
