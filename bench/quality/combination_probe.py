#!/usr/bin/python3
"""What combining two forecasts of a season would do for `forecast`: a probe, not a feature.

A monthly series' season can reach the formulas two ways: through their latest lags (no
seasonal differencing; a window of up to 24 sees two seasons), or taken out first by a
difference against earlier seasons. The inner hold-out does not tell which is better
(README, bench/quality), so this probe forecasts both ways and looks at their mean:
- A, the forecast as it is (its own differencing);
- B, the other treatment of the season: A's lags without the season when A has it (forced with
  `--difference`), otherwise A's lags with the season against the mean of --seasons earlier
  seasons (the series transformed outside the program, `--difference none`);
- their mean, value by value;
- A or the mean, whichever scores lower on the inner hold-out: both forecasts run again on the
  first four fifths of the training data and predict its last fifth.

Each cell is the median (worst) validation MSE over the seeds, and as a multiple of the best
of ARIMA and ETS (quality.py's grids).

    /usr/bin/python3 bench/quality/combination_probe.py --cli build/src/cli/vobrix-cli

Needs numpy (with statsmodels, bench/quality/setup.sh). Ten seeds take about 20 minutes.
"""

import argparse
import csv
import os
import statistics
import subprocess
import tempfile

import numpy as np

import quality

SEASON = 12


def predictions(cli, folder, series, n_train, n_end, seed, extra):
    """The forecast's predictions of series[n_train:n_end], trained on series[:n_train]."""
    os.makedirs(folder, exist_ok=True)
    train, valid = quality.write_split(folder, [float(v) for v in series[:n_end]], n_train)
    out = os.path.join(folder, "predictions.csv")
    summary = os.path.join(folder, "summary.json")
    subprocess.run([cli, "forecast", "--train", train, "--validation", valid, "--seed",
                    str(seed), "--predictions", out, "--summary", summary, *extra],
                   check=True, capture_output=True)
    with open(out, encoding="utf-8") as f:
        rows = [r for r in csv.DictReader(f) if r["part"] == "validation" and r["population"] == "0"]
    return np.array([float(r["predicted"]) for r in rows])


def season_mean_transform(y, seasons, first_difference):
    """z[t] = d[t] - mean(d[t - 12 j], j = 1 .. K), d the series or its first difference; z's
    first value stands for y[offset]."""
    d = np.concatenate([[np.nan], np.diff(y)]) if first_difference else np.asarray(y, float)
    start = SEASON * seasons + (1 if first_difference else 0)
    z = np.array([d[t] - sum(d[t - SEASON * j] for j in range(1, seasons + 1)) / seasons
                  for t in range(start, len(y))])
    return z, start


class Pair:
    """Forecasts A and B of one series for one seed, on any split of it."""

    def __init__(self, cli, folder, y, chosen, seasons):
        self.cli, self.folder, self.y = cli, folder, y
        self.b_lags = [lag for lag in chosen if lag != SEASON]
        self.transform = None
        if SEASON not in chosen:
            self.transform = season_mean_transform(y, seasons, 1 in chosen)

    def run(self, seed, n_train, n_end, tag):
        a = predictions(self.cli, os.path.join(self.folder, tag + "a"), self.y, n_train, n_end,
                        seed, [])
        if self.transform is None:
            lags = ",".join(map(str, self.b_lags)) or "none"
            b = predictions(self.cli, os.path.join(self.folder, tag + "b"), self.y, n_train,
                            n_end, seed, ["--difference", lags])
        else:
            z, offset = self.transform
            b = predictions(self.cli, os.path.join(self.folder, tag + "b"), z, n_train - offset,
                            n_end - offset, seed, ["--difference", "none"])
            b += self.y[n_train:n_end] - z[n_train - offset:n_end - offset]  # back to y
        return a, b


def errors(actual, a, b):
    return [quality.mse(actual, p) for p in (a, b, (a + b) / 2)]


def chosen_lags(cli, folder, y, n_train, seed):
    os.makedirs(folder, exist_ok=True)
    train, valid = quality.write_split(folder, [float(v) for v in y], n_train)
    summary, _, note = quality.cli_run(cli, "forecast", train, valid, seed,
                                       os.path.join(folder, "summary.json"))
    if summary is None:
        raise RuntimeError(note)
    return summary["difference"]["chosen"]


def probe(cli, name, seeds, seasons):
    y = np.asarray(quality.read_series(name), float)
    n_train = len(y) - round(quality.VALIDATION_SHARE * len(y))
    inner = n_train - max(1, n_train // 5)
    best = min(quality.arima(list(y), n_train, SEASON)[0], quality.ets(list(y), n_train, SEASON)[0])
    cells = [[], [], [], []]
    with tempfile.TemporaryDirectory() as folder:
        chosen = chosen_lags(cli, os.path.join(folder, "choice"), y, n_train, seeds[0])
        pair = Pair(cli, folder, y, chosen, seasons)
        for seed in seeds:
            held = errors(y[inner:n_train], *pair.run(seed, inner, n_train, "inner"))
            valid = errors(y[n_train:], *pair.run(seed, n_train, len(y), "whole"))
            for cell, value in zip(cells, valid + [valid[2] if held[2] < held[0] else valid[0]]):
                cell.append(value)
    b_text = ("lags " + ",".join(map(str, pair.b_lags)) if pair.b_lags else "none") \
        if pair.transform is None else "%s%d seasons" % ("lag 1, " if 1 in chosen else "", seasons)
    shown = ["%s (%s), %.2f" % (quality.fmt(statistics.median(c)), quality.fmt(max(c)),
                                statistics.median(c) / best) for c in cells]
    return "| %s | %s | %s | %s |" % (name, ",".join(map(str, chosen)) or "none", b_text,
                                      " | ".join(shown))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cli", default="build/src/cli/vobrix-cli")
    parser.add_argument("--seeds", type=int, default=10)
    parser.add_argument("--seasons", type=int, default=6,
                        help="the seasons B averages when A leaves the season to the formulas")
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)
    seeds = list(range(1, args.seeds + 1))
    print("| series | A's lags | B | A | B | mean | A or mean, by the hold-out |")
    print("|---|---|---|---|---|---|---|")
    for name, frequency in quality.read_provenance():
        if frequency == SEASON:
            print(probe(cli, name, seeds, args.seasons), flush=True)


if __name__ == "__main__":
    main()
