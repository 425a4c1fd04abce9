# Writes the benchmark series from R's datasets package into data/NAME.txt in vobrix's data-file
# format (X tab Y, X the time index from 0) and records where each comes from in
# data/PROVENANCE.md: the dataset, its package, the title and the source its documentation gives.
# Run from this folder: Rscript export_data.R
series <- c("lynx", "LakeHuron", "Nile", "WWWusage", "AirPassengers", "UKDriverDeaths",
            "nottem", "co2")
db <- tools::Rd_db("datasets")

flat <- function(lines) {
  text <- paste(trimws(lines[nzchar(trimws(lines))]), collapse = " ")
  gsub("\\|", "/", text)
}

rows <- character()
for (name in series) {
  y <- as.numeric(get(name, envir = asNamespace("datasets")))
  tsp <- tsp(get(name, envir = asNamespace("datasets")))
  lines <- sprintf("%d\t%s", seq_along(y) - 1L, format(y, digits = 15, trim = TRUE))
  writeLines(lines, file.path("data", paste0(name, ".txt")))
  rd <- db[[paste0(name, ".Rd")]]
  title <- flat(tools:::.Rd_get_metadata(rd, "title"))
  source <- flat(capture.output(tools::Rd2txt(tools:::.Rd_get_section(rd, "source"),
                                              fragment = TRUE,
                                              options = list(underline_titles = FALSE))))
  rows <- c(rows, sprintf("| `%s.txt` | `%s` | datasets (%s) | %d | %g | %g | %s | %s |", name,
                          name, R.version.string, length(y), tsp[3], tsp[1], title, source))
}
writeLines(c(
  "# Where the benchmark series come from",
  "",
  "Exported by `export_data.R` from R's `datasets` package (public domain data shipped with R;",
  "titles and sources as the package's documentation gives them). X is the time index from 0,",
  "Y the value; the frequency and start say how R dates the series.",
  "",
  "| file | dataset | R package | values | frequency | start | title | source |",
  "|---|---|---|---|---|---|---|---|",
  rows), file.path("data", "PROVENANCE.md"))
