' A script error stops the page: what was written stays, the runner exits with 1.
Response.Write "before"
Err.Raise 5
Response.Write "after"
