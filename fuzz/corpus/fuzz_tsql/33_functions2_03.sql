select concat('a', null, 1, 'b'), concat(null, null), concat_ws('-', 'x', null, 'y', 2), concat_ws(',', null, null)
