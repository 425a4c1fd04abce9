#!/usr/bin/python3
"""What a seasonal mean would do for `forecast` on the monthly series: a probe, not a feature.

The forecast takes a season out by differencing at its lag (y[t] - y[t - 12]), which copies
one year's noise, and a level break, into the next year. This probe instead takes out the
mean of the same month in up to K earlier years, z[t] = d[t] - mean(d[t - 12 j], j = 1 .. k),
k = min(K, the years before t), where d is the series itself or its first difference. It runs
`vobrix-cli forecast --difference none` on z (the validation values continue the training
values, so z's one-step error is y's) and prints, beside the forecast as it is, each variant's
median and worst validation MSE over the seeds as a multiple of the best of ARIMA and ETS
(quality.py's grids), and the inner hold-out score of an AR(6) proxy like the one the forecast
chooses its differencing with (a multiple of the proxy's score without differencing; the
forecast takes the lowest).

    /usr/bin/python3 bench/quality/seasonal_mean_probe.py --cli build/src/cli/vobrix-cli

Needs numpy (with statsmodels, bench/quality/setup.sh). A run takes about eight minutes.
"""

import argparse
import os
import statistics
import tempfile

import numpy as np

import quality

SEASON = 12
AR_ORDER = 6  # the forecast's proxy order (kDifferenceArOrder)
VARIANTS = [(False, 10), (True, 10), (False, 100), (True, 100)]


def transformed(y, first_difference, seasons):
    """z of the values from the first one a full season before it allows on."""
    d = np.diff(y) if first_difference else np.asarray(y, float)
    z = [d[t] - np.mean([d[t - SEASON * j] for j in range(1, min(seasons, t // SEASON) + 1)])
         for t in range(SEASON, len(d))]
    return np.array(z)


def ar_fit(z, order):
    rows = np.column_stack([np.ones(len(z) - order)] +
                           [z[order - k:len(z) - k] for k in range(1, order + 1)])
    coefficients, *_ = np.linalg.lstsq(rows, z[order:], rcond=None)
    residual = z[order:] - rows @ coefficients
    return coefficients, residual @ residual


def proxy_score(y, inner, first_difference, seasons):
    """One-step MSE of an AR model (order by AIC up to 6) fitted on the inner values."""
    z = transformed(y[:inner], first_difference, seasons) if seasons else np.asarray(y[:inner])
    fits = []
    for p in range(1, AR_ORDER + 1):
        coefficients, rss = ar_fit(z[AR_ORDER - p:], p)
        m = len(z) - AR_ORDER
        fits.append((m * np.log(rss / m) + 2 * (p + 1), p, coefficients))
    _, p, b = min(fits, key=lambda f: f[0])
    errors = []
    for t in range(inner, len(y)):
        past = list(y[:t]) + [0.0]  # the target's own value left out: z[-1] is then -base
        zz = transformed(past, first_difference, seasons) if seasons else np.asarray(past)
        predicted = b[0] + sum(b[k] * zz[-1 - k] for k in range(1, p + 1))
        errors.append((y[t] - (predicted - zz[-1])) ** 2)
    return float(np.mean(errors))


def forecast_errors(cli, train, valid, seeds, folder, extra=()):
    """Validation MSE of each seed, and the differencing the forecast chose."""
    errors = []
    for seed in seeds:
        summary, _, note = quality.cli_run(cli, "forecast", train, valid, seed,
                                           os.path.join(folder, "summary.json"), extra)
        if summary is None:
            raise RuntimeError(note)
        errors.append(quality.validation_mse(summary))
    return errors, summary["difference"]


def chosen_text(difference):
    """The lags chosen and their proxy score as a multiple of no differencing's."""
    scores = {tuple(c["lags"]): c["holdoutMse"] for c in difference["candidates"]}
    lags = tuple(difference["chosen"])
    if not lags:
        return "no differencing"
    return "lags %s, proxy %.2f" % (",".join(map(str, lags)), scores[lags] / scores[()])


def probe(cli, name, seeds):
    y = quality.read_series(name)
    n_train = len(y) - round(quality.VALIDATION_SHARE * len(y))
    inner = n_train - max(1, n_train // 5)
    best = min(quality.arima(y, n_train, SEASON)[0], quality.ets(y, n_train, SEASON)[0])
    none_score = proxy_score(y[:n_train], inner, False, 0)
    cells = []
    with tempfile.TemporaryDirectory() as folder:
        train, valid = quality.write_split(folder, y, n_train)
        errors, difference = forecast_errors(cli, train, valid, seeds, folder)
        cells.append(errors)
        scores = []
        for first_difference, seasons in VARIANTS:
            z = transformed(y, first_difference, seasons)
            offset = len(y) - len(z)
            z_folder = os.path.join(folder, "z")
            os.makedirs(z_folder, exist_ok=True)
            z_train, z_valid = quality.write_split(z_folder, [float(v) for v in z],
                                                   n_train - offset)
            cells.append(forecast_errors(cli, z_train, z_valid, seeds, folder,
                                         ["--difference", "none"])[0])
            scores.append(proxy_score(y[:n_train], inner, first_difference, seasons) / none_score)
    shown = ["%.2f (%.2f)" % (statistics.median(e) / best, max(e) / best) for e in cells]
    return "| %s | %s, %s | %s |" % (name, shown[0], chosen_text(difference), " | ".join(
        "%s, proxy %.2f" % (cell, score) for cell, score in zip(shown[1:], scores)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cli", default="build/src/cli/vobrix-cli")
    parser.add_argument("--seeds", type=int, default=3)
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)
    seeds = range(1, args.seeds + 1)
    header = ["forecast (auto)"] + ["%smean of up to %d years" % ("lag 1, then " if d else "", k)
                                    for d, k in VARIANTS]
    print("| series | " + " | ".join(header) + " |")
    print("|---|" + "---|" * len(header))
    for name, frequency in quality.read_provenance():
        if frequency == SEASON:
            print(probe(cli, name, seeds), flush=True)


if __name__ == "__main__":
    main()
