#!/usr/bin/python3
"""Forecast quality on public series: one-step-ahead validation MSE of vobrix-cli beside
persistence, the tool's own AR(p), and ARIMA and ETS from statsmodels.

Measuring only: statsmodels and R (bench/quality/setup.sh) are never used by the program or
its tests. Each series in data/ (exported by export_data.R) is split into its first 80 % for
training and its last 20 % for validation; every method is fitted on the training part and
predicts each validation value from the values before it. vobrix-cli runs with 10 seeds; the
table gives the median and the worst validation MSE, and every method's wall time.

    /usr/bin/python3 bench/quality/quality.py --cli build-noui/src/cli/vobrix-cli

writes bench/quality/results.md.
"""

import argparse
import itertools
import json
import math
import os
import statistics
import subprocess
import tempfile
import time
import warnings

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "data")
SEEDS = range(1, 11)
VALIDATION_SHARE = 0.2


def read_provenance():
    """Name and frequency of every series, from the provenance table."""
    series = []
    with open(os.path.join(DATA, "PROVENANCE.md"), encoding="utf-8") as f:
        for line in f:
            cells = [c.strip() for c in line.strip().strip("|").split("|")]
            if len(cells) >= 5 and cells[0].startswith("`") and cells[0].endswith(".txt`"):
                series.append((cells[1].strip("`"), int(float(cells[4]))))
    return series


def read_series(name):
    with open(os.path.join(DATA, name + ".txt"), encoding="utf-8") as f:
        return [float(line.split()[1]) for line in f if line.strip()]


def mse(actual, predicted):
    errors = [(a - p) ** 2 for a, p in zip(actual, predicted)]
    return sum(errors) / len(errors) if all(math.isfinite(e) for e in errors) else math.inf


def timed(fn):
    start = time.perf_counter()
    value = fn()
    return value, time.perf_counter() - start


def persistence(y, n_train):
    return mse(y[n_train:], y[n_train - 1:-1])


def arima(y, n_train, frequency):
    """ARIMA(p, d, q), seasonal (0, 1, 1) for monthly series, order by AIC on training."""
    from statsmodels.tsa.arima.model import ARIMA

    train = y[:n_train]
    seasonal = [(0, 0, 0, 0)] + ([(0, 1, 1, frequency)] if frequency > 1 else [])
    best = None
    for p, d, q, s in itertools.product(range(3), range(2), range(3), seasonal):
        trend = "c" if d == 0 and s[1] == 0 else "n"
        try:
            with warnings.catch_warnings():
                warnings.simplefilter("ignore")
                fit = ARIMA(train, order=(p, d, q), seasonal_order=s, trend=trend).fit()
        except Exception:  # a model that cannot be fitted drops out of the grid
            continue
        if math.isfinite(fit.aic) and (best is None or fit.aic < best[0]):
            best = (fit.aic, fit, (p, d, q), s)
    if best is None:
        return math.inf, "none fitted"
    _, fit, order, s = best
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        # The fitted parameters applied to the whole series: one-step predictions from the
        # values before each target.
        predicted = fit.apply(y).predict(start=n_train, end=len(y) - 1)
    label = "(%d,%d,%d)" % order + ("(0,1,1)%d" % s[3] if s[3] else "")
    return mse(y[n_train:], list(predicted)), label


def ets(y, n_train, frequency):
    """Additive-error ETS: trend none, additive or damped; additive season for monthly data."""
    from statsmodels.tsa.exponential_smoothing.ets import ETSModel

    train = y[:n_train]
    best = None
    trends = [(None, False), ("add", False), ("add", True)]
    seasons = [None] + (["add"] if frequency > 1 else [])
    for (trend, damped), season in itertools.product(trends, seasons):
        form = dict(error="add", trend=trend, damped_trend=damped, seasonal=season,
                    seasonal_periods=frequency if season else None)
        try:
            with warnings.catch_warnings():
                warnings.simplefilter("ignore")
                fit = ETSModel(train, **form).fit(disp=False)
        except Exception:
            continue
        if math.isfinite(fit.aic) and (best is None or fit.aic < best[0]):
            best = (fit.aic, fit, form)
    if best is None:
        return math.inf, "none fitted"
    _, fit, form = best
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        whole = ETSModel(y, **form).smooth(fit.params)
    label = "A" + ("Ad" if form["damped_trend"] else ("A" if form["trend"] else "N")) + (
        "A" if form["seasonal"] else "N")
    return mse(y[n_train:], list(whole.fittedvalues[n_train:])), label


def write_split(folder, y, n_train):
    paths = []
    for name, rows in (("train.txt", range(n_train)), ("valid.txt", range(n_train, len(y)))):
        path = os.path.join(folder, name)
        with open(path, "w", encoding="utf-8") as f:
            f.writelines("%d\t%r\n" % (x, y[x]) for x in rows)
        paths.append(path)
    return paths


def cli_run(cli, command, train, valid, seed, summary, extra=()):
    """One run; its summary's validation part of population 1 and its wall time, or None."""
    args = [cli, command, "--train", train, "--validation", valid, "--seed", str(seed),
            "--summary", summary, *extra]
    start = time.perf_counter()
    done = subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    seconds = time.perf_counter() - start
    if done.returncode != 0:
        return None, seconds, done.stderr.strip()
    with open(summary, encoding="utf-8") as f:
        return json.load(f), seconds, ""


def has_forecast(cli):
    done = subprocess.run([cli, "forecast", "--help"], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL)
    return done.returncode == 0


def validation_mse(summary):
    """Population 1's validation MSE in a run's or a forecast's summary."""
    for key in ("populations", "models", "members"):
        if summary.get(key):
            return summary[key][0]["validation"]["mse"]
    return summary["validation"]["mse"]


def gp_runs(cli, command, train, valid, folder, extra=()):
    errors, seconds, notes = [], [], set()
    first = None
    for seed in SEEDS:
        summary, wall, note = cli_run(cli, command, train, valid, seed,
                                      os.path.join(folder, "summary.json"), extra)
        seconds.append(wall)
        if summary is None:
            notes.add(note)
            continue
        first = first or summary
        try:
            errors.append(validation_mse(summary))
        except (KeyError, IndexError, TypeError):
            notes.add("no validation MSE in the summary")
    return errors, seconds, first, notes


def fmt(value):
    if value is None:
        return "n/a"
    if not math.isfinite(value):
        return "inf"
    return "%.4g" % value


def spread(errors):
    if not errors:
        return "n/a"
    return "%s (%s)" % (fmt(statistics.median(errors)), fmt(max(errors)))


def measure(cli, name, frequency, forecast):
    y = read_series(name)
    n_valid = round(VALIDATION_SHARE * len(y))
    n_train = len(y) - n_valid
    row = {"series": name, "n": "%d / %d" % (n_train, n_valid)}
    with tempfile.TemporaryDirectory() as folder:
        train, valid = write_split(folder, y, n_train)
        row["persistence"], row["t_persistence"] = timed(lambda: persistence(y, n_train))
        (row["arima"], row["arima_order"]), row["t_arima"] = timed(
            lambda: arima(y, n_train, frequency))
        (row["ets"], row["ets_form"]), row["t_ets"] = timed(lambda: ets(y, n_train, frequency))
        errors, seconds, summary, notes = gp_runs(cli, "run", train, valid, folder)
        row["gp"], row["t_gp"] = errors, statistics.median(seconds)
        if summary:
            row["ar"] = summary["baselines"]["validation"]["ar"]["mse"]
            row["ar_p"] = summary["ar"]["p"]
        errors, seconds, _, more = gp_runs(cli, "run", train, valid, folder,
                                           ["--linear-scaling"])
        row["gp_ls"], row["t_gp_ls"] = errors, statistics.median(seconds)
        notes |= more
        if forecast:
            errors, seconds, _, more = gp_runs(cli, "forecast", train, valid, folder)
            row["forecast"], row["t_forecast"] = errors, statistics.median(seconds)
            notes |= more
        row["notes"] = sorted(n for n in notes if n)
    return row


def ratio_to_persistence(rows, pick):
    """Geometric mean over the series of a method's MSE / persistence's MSE."""
    logs = []
    for row in rows:
        value = pick(row)
        if value is None or not math.isfinite(value) or value <= 0:
            return None
        logs.append(math.log(value / row["persistence"]))
    return math.exp(sum(logs) / len(logs))


def report(rows, forecast, cli):
    median = lambda key: (lambda row: statistics.median(row[key]) if row.get(key) else None)
    columns = [
        ("persistence", lambda r: fmt(r["persistence"]), lambda r: r["persistence"]),
        ("AR(p) of vobrix", lambda r: "%s (p=%s)" % (fmt(r.get("ar")), r.get("ar_p", "?")),
         lambda r: r.get("ar")),
        ("ARIMA (AIC)", lambda r: "%s %s" % (fmt(r["arima"]), r["arima_order"]),
         lambda r: r["arima"]),
        ("ETS (AIC)", lambda r: "%s %s" % (fmt(r["ets"]), r["ets_form"]), lambda r: r["ets"]),
        ("run, median (worst)", lambda r: spread(r["gp"]), median("gp")),
        ("run --linear-scaling, median (worst)", lambda r: spread(r["gp_ls"]), median("gp_ls")),
    ]
    if forecast:
        columns.append(("forecast, median (worst)", lambda r: spread(r.get("forecast", [])),
                        median("forecast")))
    lines = ["| series | train / valid | " + " | ".join(c[0] for c in columns) + " |",
             "|---|---|" + "---|" * len(columns)]
    for row in rows:
        lines.append("| %s | %s | " % (row["series"], row["n"]) +
                     " | ".join(c[1](row) for c in columns) + " |")
    lines.append("| MSE / persistence (geometric mean) | | " + " | ".join(
        fmt(ratio_to_persistence(rows, c[2])) for c in columns) + " |")

    times = ["| series | ARIMA grid | ETS grid | run (one seed) | run --linear-scaling" +
             (" | forecast |" if forecast else " |"),
             "|---|---|---|---|---|" + ("---|" if forecast else "")]
    for row in rows:
        cells = [row["t_arima"], row["t_ets"], row["t_gp"], row["t_gp_ls"]]
        if forecast:
            cells.append(row.get("t_forecast"))
        times.append("| %s | " % row["series"] + " | ".join("%.2f s" % c for c in cells) + " |")

    notes = sorted({"%s: %s" % (r["series"], n) for r in rows for n in r["notes"]})
    text = [
        "# Forecast quality on public series",
        "",
        "Validation MSE of one-step-ahead predictions (lower is better), in the data's units, on",
        "the last 20 % of each series; every method is fitted on the first 80 % only. vobrix-cli",
        "runs with its default settings and seeds 1 to 10: the median and, in brackets, the",
        "worst of the ten. AR(p) is the baseline of `vobrix-cli run --summary` (order by AIC).",
        "ARIMA: (p,d,q) with p, q in 0..2 and d in 0..1, plus a seasonal (0,1,1) for monthly",
        "series; ETS: additive errors, no/additive/damped trend, additive season for monthly",
        "series; both from statsmodels, chosen by AIC on the training part (d too, which compares",
        "likelihoods of differently differenced data: a simplification). The last row is the",
        "geometric mean over the series of each method's MSE divided by persistence's.",
        "Made by `bench/quality/quality.py`; data and their sources in `data/PROVENANCE.md`.",
        "",
    ] + lines + [
        "",
        "Wall time (fitting and predicting; for vobrix-cli the median of the ten runs, process",
        "start included):",
        "",
    ] + times
    if not forecast:
        text += ["", "`%s` has no `forecast` subcommand: its column is left out." %
                 os.path.basename(cli)]
    if notes:
        text += ["", "Notes:", ""] + ["- " + n for n in notes]
    return "\n".join(text) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cli", default="build/src/cli/vobrix-cli", help="the vobrix-cli binary")
    parser.add_argument("--output", default=os.path.join(HERE, "results.md"))
    parser.add_argument("--series", nargs="*", help="only these series")
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)
    forecast = has_forecast(cli)
    rows = []
    for name, frequency in read_provenance():
        if args.series and name not in args.series:
            continue
        print("measuring", name, flush=True)
        rows.append(measure(cli, name, frequency, forecast))
    text = report(rows, forecast, cli)
    with open(args.output, "w", encoding="utf-8") as f:
        f.write(text)
    print(text)


if __name__ == "__main__":
    main()
